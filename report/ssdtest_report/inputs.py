"""Gathering the logs named on the command line: files, or folders searched
for result logs (the program folder, the shared folder)."""

import os
from typing import List, Tuple

from .logread import DriveLog, NotALog, read_log
from .errormap import map_path, read_map
from .rounds import classify, known_round
from .runstatus import read_status
from .serials import find_serial


class InputError(Exception):
    """An argument that names no readable result log."""


def _load(path: str) -> DriveLog:
    log = read_log(path)
    log.status = read_status(path)
    drive = log.status["drive"] if log.status else {}
    log.serial = str(drive.get("serial") or "") or find_serial(path, log.drive, log.model)
    log.error_map = read_map(map_path(path))
    classify(log, *known_round(log.status, log.error_map))
    return log


def _csv_files(folder: str) -> List[str]:
    found = []
    for root, dirs, files in os.walk(folder):
        dirs.sort()
        found += [os.path.join(root, name) for name in sorted(files) if name.lower().endswith(".csv")
                  and not name.lower().endswith(".errors.csv")]
    return found


def collect(paths: List[str]) -> Tuple[List[DriveLog], List[Tuple[str, str]]]:
    """The logs, each once, and the files passed over with their reasons."""
    logs: List[DriveLog] = []
    passed_over: List[Tuple[str, str]] = []
    seen = {}
    for path in paths:
        if os.path.isdir(path):
            found = 0
            for candidate in _csv_files(path):
                try:
                    log = _load(candidate)
                except NotALog as reason:
                    passed_over.append((candidate, f"not a result log: {reason}"))
                    continue
                except OSError as error:
                    passed_over.append((candidate, f"cannot be read: {error.strerror}"))
                    continue
                found += 1
                logs.append(log)
            if found == 0:
                raise InputError(f"{path}: the folder holds no result log")
        elif os.path.exists(path):
            try:
                logs.append(_load(path))
            except NotALog as reason:
                raise InputError(f"{path}: not a result log: {reason}") from None
            except OSError as error:
                raise InputError(f"{path}: cannot be read: {error.strerror}") from None
        else:
            raise InputError(f"{path}: no such file or folder")

    unique = []
    for log in logs:
        key = (os.path.basename(log.path), log.digest)
        if key in seen:
            passed_over.append((log.path, f"the same log as {seen[key]}: shown once"))
            continue
        seen[key] = log.path
        unique.append(log)
    return unique, passed_over
