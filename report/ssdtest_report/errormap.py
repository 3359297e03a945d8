"""The error map beside a result log (drive1_M.csv -> drive1_M.errors.csv):
per round the 1 MiB blocks that had bit errors or failed sectors, the count
of those beyond the listed ones, and a round line saying how far the round
verified and how it ended."""

import csv
from dataclasses import dataclass, field
from typing import List, Optional, Tuple

COLUMNS = ["round", "time", "average_erase_count", "kind", "offset_mib", "blocks", "bit_errors",
           "failed_sectors"]
ROUND_KINDS = ("round end", "abandoned", "read-only")


@dataclass
class MappedRound:
    number: int
    time: str = ""
    aec: int = 0
    kind: str = ""  # how it ended, one of ROUND_KINDS
    verified_mib: int = 0
    blocks: List[Tuple[int, int, int]] = field(default_factory=list)  # offset MiB, bits, sectors
    unlisted: int = 0  # blocks with errors beyond the listed ones
    bit_errors: int = 0
    failed_sectors: int = 0


@dataclass
class ErrorMap:
    path: str
    rounds: List[MappedRound] = field(default_factory=list)
    unread: int = 0  # lines passed over (torn, foreign)


def map_path(log_path: str) -> str:
    base = log_path[:-4] if log_path.lower().endswith(".csv") else log_path
    return base + ".errors.csv"


def read_map(path: str) -> Optional[ErrorMap]:
    """The rounds of the file, None when it is missing or not an error map.
    A round's block lines count only once its round line (same round and
    time) closes them."""
    try:
        with open(path, encoding="latin-1", newline="") as file:
            rows = csv.reader(file)
            if next(rows, None) != COLUMNS:
                return None
            result = ErrorMap(path)
            pending = []
            for row in rows:
                try:
                    number, time, aec, kind = int(row[0]), row[1], int(row[2]), row[3]
                    offset, blocks, bits, sectors = (int(x) for x in row[4:8])
                except (ValueError, IndexError):
                    result.unread += 1
                    continue
                if kind in ("block", "rest"):
                    pending.append(((number, time), kind, offset, blocks, bits, sectors))
                    continue
                if kind not in ROUND_KINDS:
                    result.unread += 1
                    continue
                done = MappedRound(number, time, aec, kind, offset, bit_errors=bits,
                                   failed_sectors=sectors)
                for n, what, at, count, b, s in pending:
                    if n != (number, time):
                        result.unread += 1  # left by a run that ended before its round line
                    elif what == "block":
                        done.blocks.append((at, b, s))
                    else:
                        done.unlisted += count
                pending = []
                result.rounds.append(done)
            result.unread += len(pending)
            return result
    except OSError:
        return None
