"""Telling round-end lines from in-round lines, and numbering the rounds.

The tester writes a line when a log is created (all speeds and the round's
rate 0), during a round whenever the drive's tracked counters move (the
round's rate 0), at the end of every round of the write test (the round's
rate, 0 only when no sector was read or no bit error was found), and once at
the end of a read-only pass (write speed 0, nothing written).

During a round the read-sector counter advances in whole batches of 1024
blocks of 1 MiB (2,097,152 sectors); a round ends with a shorter batch, so
its line leaves that grid. A line whose round rate is 0 is therefore a
round end when the sectors read since the last round boundary are not a
whole number of batches. When none were read at all, the line ends a round
abandoned before its first block, which is no round.
"""

import math

from .logread import READ_SECTORS, READ_SPEED, ROUND_RBER, WRITE_SECTORS, WRITE_SPEED, DriveLog

INITIAL = "initial"
IN_ROUND = "in-round"
ROUND_END = "round end"
READ_ONLY = "read-only"
EMPTY_END = "empty end"  # a round abandoned before its first block: no round

BATCH_SECTORS = 1024 * 2048
# Reads of the operating system or of SMART may move a real drive's counter
# a little; a round's last batch is at least one block (2048 sectors) off
# the grid, so a slack of half a block still tells the two apart.
PHASE_SLACK = 1024

NOTE = ("Round ends: a line with a non-zero last-round raw bit error rate ends a round. "
        "A line whose last-round rate is 0 ends a round when the read-sector counter "
        "(Total Count of Read Sectors) has moved by something other than a whole number of "
        "1024-block batches (2,097,152 sectors, with a slack of 1024 sectors) since the last "
        "round boundary, because a round's reads come in such batches until its last, shorter "
        "batch. A line whose read-sector counter has not moved since the last round boundary "
        "ends a round abandoned before its first block: it is no round and is not counted. "
        "Without that counter (second controller layout) a 0 rate means in-round. "
        "A line with write speed 0 whose written-sector counter did not move while its "
        "read-sector counter did (or whose read speed is not 0) is a read-only pass. "
        "The first line of a log with all speeds and rates 0 is the initial line. "
        "Speeds per round are those the round-end line gives: the device speeds of the "
        "round's last batch. Time per round is measured from the previous round boundary, "
        "so a pause between two runs counts in the first round of the later run.")


def _zero(value) -> bool:
    return value is not None and not math.isnan(value) and value == 0


def _classify(line, previous, boundary_reads, first: bool) -> str:
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
    off_grid = min(moved % BATCH_SECTORS, -moved % BATCH_SECTORS)
    if moved == 0:
        return EMPTY_END
    return ROUND_END if off_grid > PHASE_SLACK else IN_ROUND


def classify(log: DriveLog) -> None:
    """Sets kind and round of every data line: the initial line is round 0,
    the lines of round k (its in-round lines and its end) are round k, and a
    read-only pass carries the number of the last round before it."""
    completed = 0
    previous = None
    boundary_reads = None
    for index, line in enumerate(log.lines):
        line.kind = _classify(line, previous, boundary_reads, index == 0)
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
