"""The run status file beside a result log (drive1_M.csv -> drive1_M.status.json):
what the tester says of its run, with UTC times. Unknown keys are ignored; a
missing, unreadable or foreign file is no status."""

import datetime
import json
from typing import Optional

STATES = ("running", "finished", "abandoned", "failed", "refused")
STALE_AFTER = datetime.timedelta(days=1)


def status_path(log_path: str) -> str:
    base = log_path[:-4] if log_path.lower().endswith(".csv") else log_path
    return base + ".status.json"


def parse_utc(text) -> Optional[datetime.datetime]:
    """An ISO 8601 time with its offset (Z or +hh:mm) as an aware UTC time; None otherwise."""
    if not isinstance(text, str):
        return None
    try:
        value = datetime.datetime.fromisoformat(text.replace("Z", "+00:00"))
    except ValueError:
        return None
    if value.tzinfo is None:
        return None  # a time without offset cannot be placed
    return value.astimezone(datetime.timezone.utc)


def read_status(log_path: str) -> Optional[dict]:
    """The status object for the log, or None when there is no usable one."""
    try:
        with open(status_path(log_path), encoding="utf-8") as file:
            status = json.load(file)
    except (OSError, ValueError):
        return None
    if not isinstance(status, dict) or status.get("format") != "ssdtest-status":
        return None
    if not isinstance(status.get("drive"), dict):
        status["drive"] = {}
    return status


def state_of(status: dict, now: datetime.datetime):
    """(state, reason) of a run: a running one not updated for a day is stale."""
    state = status.get("state")
    state = state if state in STATES else "unknown"
    reason = str(status.get("reason") or "")
    updated = parse_utc(status.get("updated"))
    if state == "running" and (updated is None or now - updated > STALE_AFTER):
        age = "never" if updated is None else f"{(now - updated).days} d ago"
        return "stale", f"running, last update {age}"
    return state, reason
