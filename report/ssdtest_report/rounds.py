"""Telling round-end lines from in-round lines, and numbering the rounds.

The tester writes a line when a log is created (all speeds and the round's
rate 0), during a round whenever the drive's tracked counters move (the
round's rate 0), at the end of every round of the write test (the round's
rate, 0 only when no sector was read or no bit error was found), and once at
the end of a read-only pass (write speed 0, nothing written).

A round writes and reads back the drive's 1 MiB blocks from its start, in
batches of 1024 blocks, and ends after the block whose successor would reach
the end of the drive; an in-round line only ever follows a full batch. A line
whose round rate is 0 is therefore a round end when the sectors read since the
last round boundary reach one round's (known from the drive's size), or are not
a whole number of batches: a round stopped early ends with a shorter batch, and
so does a whole round unless its length is itself a whole number of batches,
which only the drive's size tells. When no sector was read at all, the line
ends a round abandoned before its first block, which is no round.
"""

import math
from typing import Optional, Tuple

from .logread import READ_SECTORS, READ_SPEED, ROUND_RBER, WRITE_SECTORS, WRITE_SPEED, DriveLog

INITIAL = "initial"
IN_ROUND = "in-round"
ROUND_END = "round end"
READ_ONLY = "read-only"
EMPTY_END = "empty end"  # a round abandoned before its first block: no round

SECTOR_BYTES = 512  # the unit of the read-sector counter
BLOCK_BYTES = 1 << 20
BLOCK_SECTORS = BLOCK_BYTES // SECTOR_BYTES
BATCH_BLOCKS = 1024
BATCH_SECTORS = BATCH_BLOCKS * BLOCK_SECTORS
# Reads of the operating system or of SMART may move a real drive's counter
# a little; a round's last batch is at least one block off the grid, and an
# in-round line at least one block short of the round's end, so a slack of
# half a block still tells them apart.
PHASE_SLACK = BLOCK_SECTORS // 2

NOTE = ("Round ends: a line with a non-zero last-round raw bit error rate ends a round. "
        "A line whose last-round rate is 0 ends a round when the read-sector counter "
        "(Total Count of Read Sectors) has moved since the last round boundary by one whole "
        f"round's reads or more, or by something other than a whole number of {BATCH_BLOCKS}-block "
        f"batches ({BATCH_SECTORS:,} sectors), both with a slack of {PHASE_SLACK} sectors: a round "
        "reads the drive's 1 MiB "
        "blocks up to the one whose successor would reach the drive's end, in such batches, and "
        "the tester writes an in-round line only after a full batch. One round's reads are known "
        "from the drive size in the run status file beside the log, else from the length of the "
        "whole rounds in the error map; where neither is there, only the batch rule applies, and "
        "a round that is itself a whole number of batches without bit errors reads as in-round. "
        "Each drive's facts say which rule applied. "
        "A line whose read-sector counter has not moved since the last round boundary "
        "ends a round abandoned before its first block: it is no round and is not counted. "
        "Without that counter (second controller layout) a 0 rate means in-round. "
        "A line with write speed 0 whose written-sector counter did not move while its "
        "read-sector counter did (or whose read speed is not 0) is a read-only pass. "
        "The first line of a log with all speeds and rates 0 is the initial line. "
        "Speeds per round are those the round-end line gives: the device speeds of the "
        "round's last batch. Time per round is measured from the previous round boundary, "
        "so a pause between two runs counts in the first round of the later run.")


def round_sectors(drive_bytes: int) -> int:
    """The sectors one whole round reads on a drive of `drive_bytes` bytes: its
    1 MiB blocks up to the one whose successor would reach the drive's end (a
    block ending exactly at the end is never written), at least one."""
    blocks = max(1, -(-drive_bytes // BLOCK_BYTES) - 1)
    return blocks * BLOCK_SECTORS


def known_round(status, error_map) -> Tuple[Optional[int], str]:
    """One whole round's read sectors and where they come from: the drive
    size in the run status file, else the one length the error map gives its
    whole rounds; (None, "") when neither tells."""
    size = (status or {}).get("drive", {}).get("size_bytes")
    if isinstance(size, int) and not isinstance(size, bool) and size > 0:
        return round_sectors(size), "the drive size in the run status file"
    lengths = {r.verified_mib for r in error_map.rounds if r.kind == "round end"} if error_map else set()
    if len(lengths) == 1 and min(lengths) > 0:
        return lengths.pop() * BLOCK_SECTORS, "the length of the whole rounds in the error map"
    return None, ""


def rule_text(sectors: Optional[int], source: str) -> str:
    """Which rule told this log's round ends, for the drive's facts."""
    if sectors is None:
        return (f"the {BATCH_BLOCKS}-block batch grid only (drive size unknown: a round of whole "
                "batches without bit errors reads as in-round)")
    return (f"a round reads {sectors // BLOCK_SECTORS} MiB ({sectors} sectors), from {source}; "
            f"or the {BATCH_BLOCKS}-block batch grid")


def _zero(value) -> bool:
    return value is not None and not math.isnan(value) and value == 0


def _classify(line, previous, boundary_reads, first: bool, round_reads: Optional[int]) -> str:
    values = line.values
    if first and all(_zero(values.get(c)) for c in (READ_SPEED, WRITE_SPEED, ROUND_RBER)):
        return INITIAL
    reads = values.get(READ_SECTORS)
    writes = values.get(WRITE_SECTORS)
    if _zero(values.get(WRITE_SPEED)):
        if not _zero(values.get(READ_SPEED)):
            return READ_ONLY
        if previous is not None and writes is not None and reads is not None:
            if writes == previous.values.get(WRITE_SECTORS) and reads != previous.values.get(READ_SECTORS):
                return READ_ONLY
    if not _zero(values.get(ROUND_RBER)):
        return ROUND_END
    if reads is None or boundary_reads is None:
        return IN_ROUND
    moved = reads - boundary_reads
    if moved == 0:
        return EMPTY_END
    if round_reads is not None and moved > round_reads - PHASE_SLACK:
        return ROUND_END
    off_grid = min(moved % BATCH_SECTORS, -moved % BATCH_SECTORS)
    return ROUND_END if off_grid > PHASE_SLACK else IN_ROUND


def classify(log: DriveLog, round_reads: Optional[int] = None, source: str = "") -> None:
    """Sets kind and round of every data line: the initial line is round 0,
    the lines of round k (its in-round lines and its end) are round k, and a
    read-only pass carries the number of the last round before it.
    `round_reads` is one whole round's read sectors when known (from `source`)."""
    log.round_rule = rule_text(round_reads, source)
    completed = 0
    previous = None
    boundary_reads = None
    for index, line in enumerate(log.lines):
        line.kind = _classify(line, previous, boundary_reads, index == 0, round_reads)
        if line.kind == ROUND_END:
            completed += 1
            line.round = completed
        elif line.kind == IN_ROUND:
            line.round = completed + 1
        else:
            line.round = completed
        if line.kind != IN_ROUND:
            boundary_reads = line.values.get(READ_SECTORS)
        previous = line


def count_rounds(log: DriveLog) -> int:
    return sum(1 for line in log.lines if line.kind == ROUND_END)
