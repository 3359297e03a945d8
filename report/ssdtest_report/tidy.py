"""The companion CSV for analysis tools: one header line, one row per data
line of every log, LF line ends, and the columns that the logs leave
implicit (drive, serial, line kind, round, the time in UTC, the round's
duration)."""

import csv
import math
import re

from . import logread as L
from .charts import durations
from .rounds import ROUND_END
from .utctimes import utc_times

_LEADING = ["file", "drive", "serial", "model", "line", "kind", "round", "time", "local_time",
            "round_seconds"]


def column_name(log_column: str) -> str:
    """A log column's name in snake case: Read Speed(MB/s) -> read_speed_mb_s."""
    return re.sub(r"[^a-z0-9]+", "_", log_column.lower()).strip("_")


def _text(value) -> str:
    if value is None:
        return ""
    if isinstance(value, float):
        if math.isnan(value):
            return ""  # read as a missing value
        return repr(value) if not math.isinf(value) else ("inf" if value > 0 else "-inf")
    return str(value)


def write(logs, path: str) -> None:
    columns = []
    for log in logs:
        columns += [c for c in log.columns if c != L.TIME and c not in columns]
    with open(path, "w", newline="", encoding="utf-8") as file:
        writer = csv.writer(file, lineterminator="\n")
        writer.writerow(_LEADING + [column_name(c) for c in columns])
        for log in logs:
            seconds = dict(durations(log)[0])
            for line, utc in zip(log.lines, utc_times(log)):
                values = line.all_values()
                local = values.get(L.TIME)
                duration = seconds.get(line.round) if line.kind == ROUND_END else None
                writer.writerow([log.path, _text(log.drive), log.serial, log.model, line.line, line.kind,
                                 line.round, utc.isoformat() if utc else "",
                                 local.isoformat() if local else "", _text(duration)]
                                + [_text(values.get(c)) for c in columns])
