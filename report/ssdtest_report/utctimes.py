"""UTC times of a log's lines.

The tester logs its computer's local time without an offset. The run status
file beside the log says in UTC when it was last updated, which is when the
log's last line was written (within a batch): their difference, to the
quarter hour, is the tester's UTC offset, used for every line of the log.
Without a status file that agrees, this computer's time zone places each
line, with its daylight saving rules; in the hour a clock change repeats,
a line earlier than the one before it is taken as the repeated hour's.
"""

import datetime
from typing import List, Optional

from . import logread as L
from .runstatus import parse_utc

UTC = datetime.timezone.utc
_QUARTER = datetime.timedelta(minutes=15)
# The status file may be updated a little after the last line is written.
_LAG = datetime.timedelta(minutes=5)
_LARGEST_OFFSET = datetime.timedelta(hours=14)


def status_offset(log) -> Optional[datetime.timedelta]:
    """The tester's UTC offset from the status file, None when there is none or it does not fit."""
    updated = parse_utc((log.status or {}).get("updated"))
    last = next((line.values.get(L.TIME) for line in reversed(log.lines)
                 if line.values.get(L.TIME) is not None), None)
    if updated is None or last is None:
        return None
    difference = last - updated.replace(tzinfo=None)
    offset = round(difference / _QUARTER) * _QUARTER
    if abs(offset) > _LARGEST_OFFSET or abs(difference - offset) > _LAG:
        return None
    return offset


def _local(time: datetime.datetime, fold: int, cache: dict) -> datetime.datetime:
    """The local time as UTC by this computer's zone (offsets change on whole hours)."""
    key = (time.date(), time.hour, fold)
    offset = cache.get(key)
    if offset is None:
        hour = time.replace(minute=0, second=0, fold=fold)
        offset = cache[key] = hour - hour.astimezone(UTC).replace(tzinfo=None)
    return (time - offset).replace(tzinfo=UTC)


def utc_times(log) -> List[Optional[datetime.datetime]]:
    """Per data line its time in UTC (None for not-a-date-time), worked out once per log."""
    if getattr(log, "_utc", None) is not None:
        return log._utc
    offset = status_offset(log)
    found, cache, previous = [], {}, None
    for line in log.lines:
        time = line.values.get(L.TIME)
        if time is None:
            found.append(None)
            continue
        if offset is not None:
            found.append((time - offset).replace(tzinfo=UTC))
            continue
        placed = _local(time, 0, cache)
        if previous is not None and placed < previous:
            placed = max(placed, _local(time, 1, cache))
        found.append(placed)
        previous = placed
    log._utc = found
    return found


def source(log) -> str:
    """How the log's times were placed in UTC, for the page."""
    offset = status_offset(log)
    if offset is None:
        return "this computer's time zone"
    sign = "-" if offset < datetime.timedelta(0) else "+"
    minutes = abs(offset) // datetime.timedelta(minutes=1)
    return f"the offset UTC{sign}{minutes // 60:02d}:{minutes % 60:02d} of the run status file"
