"""The drive's serial number, which the log itself does not hold.

It is taken from the files that the tester leaves beside the log: the
newest viewer capture drive<N>_<time>_data.txt that names a serial number,
else the lab's bench file ssdlab.json for a lab drive of that number and
model. A published copy in the shared folder has neither; its serial stays
unknown.
"""

import glob
import json
import os
import re

_SERIAL_LINE = re.compile(r"Serial Number\s*:\s*(\S+)")


def _from_captures(folder: str, drive: int) -> str:
    captures = sorted(glob.glob(os.path.join(glob.escape(folder), f"drive{drive}_*_data.txt")),
                      reverse=True)
    for path in captures:
        try:
            with open(path, "rb") as file:
                match = _SERIAL_LINE.search(file.read().decode("latin-1"))
        except OSError:
            continue
        if match:
            return match.group(1)
    return ""


def _from_bench(folder: str, drive: int, model: str) -> str:
    try:
        with open(os.path.join(folder, "ssdlab.json"), encoding="utf-8") as file:
            bench = json.load(file)
    except (OSError, ValueError):
        return ""
    drives = bench.get("drives", []) if isinstance(bench, dict) else []
    for entry in drives:
        if (isinstance(entry, dict) and entry.get("number") == drive
                and str(entry.get("model", "")).strip() == model.strip()):
            return str(entry.get("serial", ""))
    return ""


def find_serial(log_path: str, drive, model: str) -> str:
    """The serial number of the log's drive, or '' when no file beside it tells."""
    if drive is None:
        return ""
    folder = os.path.dirname(os.path.abspath(log_path))
    return _from_captures(folder, drive) or _from_bench(folder, drive, model)
