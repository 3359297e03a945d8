"""Reading result logs: title line, column line, data lines.

A log is the tester's CSV file drive<N>_<model>.csv: a title line, a column
line, then one data line per result. Lines end with CR LF (LF is accepted
too). Every line that cannot be read is kept as a Problem with its number and
reason, so the page can name it; nothing is dropped silently.
"""

import csv
import datetime
import hashlib
import math
import os
import re
from dataclasses import dataclass, field
from typing import Dict, List, Optional

try:
    import numpy
except ImportError:  # every line is read on its own
    numpy = None

# Titles of the two status layouts the tester knows.
LAYOUTS = {
    "Pinewade Tallymark Log v1.1": "supported kind",
    "RZB411/412 Tallymark Log v1.0": "second controller kind",
    "NVMe Health Log v1": "NVMe (host-visible bit error rates)",
    "NVMe Health and Datacenter Log v1": "NVMe (host-visible bit error rates)",
}
# NVMe drives report no raw flash errors: their rate columns carry this prefix
# and are read under the plain names.
HOST_VISIBLE = "Host-Visible "

TIME = "Date-Time"
RBER = "Raw Bit Error Rate(Calculated)"
UBER8 = "Uncorrectable Bit Error Rate(8bitECC)"
UBER12 = "Uncorrectable Bit Error Rate(12bitECC)"
ROUND_RBER = "Raw Bit Error Rate(Last Round)"
ROUND_UBER8 = "Uncorrectable Bit Error Rate(8bitECC Last Round)"
ROUND_UBER12 = "Uncorrectable Bit Error Rate(12bitECC Last Round)"
BIT_ERRORS = "Uncorrectable Bit Error Count"
SECTOR_FAILS = "Sector Fail Count"
READ_SPEED = "Read Speed(MB/s)"
WRITE_SPEED = "Write Speed(MB/s)"
AEC = "Average Erase Count"
READ_SECTORS = "Total Count of Read Sectors"
WRITE_SECTORS = "Total Count of Write Sectors"
PROGRAM_FAILS = "Program Failure Block Count"
ERASE_FAILS = "Erase Failure Block Count"
READ_FAILS = "Read Failure Block Count"

# Result columns written as doubles; every other column but the time is an
# integer counter.
REAL_COLUMNS = {RBER, UBER8, UBER12, ROUND_RBER, ROUND_UBER8, ROUND_UBER12, READ_SPEED, WRITE_SPEED}
REQUIRED_COLUMNS = [TIME, AEC, RBER, ROUND_RBER, BIT_ERRORS, SECTOR_FAILS, READ_SPEED, WRITE_SPEED]

_MONTHS = {m: i + 1 for i, m in enumerate(
    ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"])}
_TIME_PATTERN = re.compile(r"(\d{4})-([A-Z][a-z]{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2})")
_INTEGER_PATTERN = re.compile(r"-?\d+")
# Texts of not-a-number and infinity: the C library's, and the older
# Windows runtime's.
_NAMED_REALS = {
    "nan": math.nan, "-nan": math.nan, "inf": math.inf, "-inf": -math.inf,
    "1.#QNAN": math.nan, "-1.#QNAN": math.nan, "1.#IND": math.nan, "-1.#IND": math.nan,
    "1.#INF": math.inf, "-1.#INF": -math.inf,
}
_FILE_NAME = re.compile(r"drive(\d+)_(.*)\.csv$", re.IGNORECASE)


class NotALog(Exception):
    """The file is not a result log (its first two lines say so)."""


@dataclass
class Problem:
    line: int  # line number in the file, from 1
    reason: str
    text: str


# Columns whose parsed values a line keeps; every column is checked when the
# line is read, and the others are parsed again only for the tidy CSV.
KEPT_COLUMNS = {TIME, AEC, RBER, UBER8, UBER12, ROUND_RBER, ROUND_UBER8, ROUND_UBER12, BIT_ERRORS,
                SECTOR_FAILS, READ_SPEED, WRITE_SPEED, READ_SECTORS, WRITE_SECTORS, PROGRAM_FAILS,
                ERASE_FAILS, READ_FAILS}


class Row:
    """A data line's kept values, read from its log's columns (column name -> value)."""
    __slots__ = ("table", "index")

    def __init__(self, table, index):
        self.table = table
        self.index = index

    def get(self, name, default=None):
        column = self.table.get(name)
        return default if column is None else column[self.index]

    def __getitem__(self, name):
        return self.table[name][self.index]

    def __contains__(self, name):
        return name in self.table


class DataLine:
    """One data line: its number, the values of the kept columns, its text."""
    __slots__ = ("line", "values", "text", "columns", "kind", "round")

    def __init__(self, line, values, text, columns, kind="", round=0):
        self.line = line  # line number in the file, from 1
        self.values = values  # a Row: kept column name -> datetime, int or float
        self.text = text  # the line as logged, without its line end
        self.columns = columns
        self.kind = kind
        self.round = round

    @property
    def texts(self) -> Dict[str, str]:
        """Column name -> the text as logged."""
        return dict(zip(self.columns, _split(self.text)))

    def all_values(self) -> Dict[str, object]:
        return _parse_fields(self.columns, _split(self.text))


@dataclass
class DriveLog:
    path: str
    title: str
    columns: List[str]
    lines: List[DataLine] = field(default_factory=list)
    problems: List[Problem] = field(default_factory=list)
    drive: Optional[int] = None
    model: str = ""
    serial: str = ""
    modified: float = 0.0  # the file's modification time, seconds since the epoch
    digest: str = ""  # hash of the file's bytes, to spot the same log given twice
    status: Optional[dict] = None  # the run status file beside the log
    error_map: object = None  # the error map beside the log (errormap.ErrorMap)
    round_rule: str = ""  # how its round ends were told (rounds.classify)
    table: Dict[str, list] = field(default_factory=dict)  # kept column -> value per data line

    @property
    def layout(self) -> str:
        return LAYOUTS.get(self.title, "unknown title")

    def series(self, column: str) -> list:
        """The column's values over all data lines (None where it is missing)."""
        values = self.table.get(column)
        return list(values) if values is not None else [None] * len(self.lines)


def parse_time(text: str) -> Optional[datetime.datetime]:
    """The tester's date-time text (2010-Aug-23 14:05:09); None for not-a-date-time."""
    if text == "not-a-date-time":
        return None
    match = _TIME_PATTERN.fullmatch(text)
    if not match or match.group(2) not in _MONTHS:
        raise ValueError(f"date-time '{text}' is not of the form 2010-Aug-23 14:05:09")
    year, month, day, hour, minute, second = match.groups()
    try:
        return datetime.datetime(int(year), _MONTHS[month], int(day), int(hour), int(minute),
                                 int(second))
    except ValueError as error:
        raise ValueError(f"date-time '{text}': {error}") from None


def parse_real(text: str) -> float:
    if text in _NAMED_REALS:
        return _NAMED_REALS[text]
    try:
        return float(text)
    except ValueError:
        raise ValueError(f"'{text}' is not a number") from None


def parse_integer(text: str) -> int:
    if not _INTEGER_PATTERN.fullmatch(text):
        raise ValueError(f"'{text}' is not a whole number")
    return int(text)


def _plan(columns: List[str], kept=None):
    """Per column: its name, its kind (0 time, 1 real, 2 integer), whether its value is kept."""
    return [(name, 0 if name == TIME else 1 if name in REAL_COLUMNS else 2,
             kept is None or name in kept) for name in columns]


def _parse_fields(columns: List[str], fields: List[str], kept=None, plan=None) -> Dict[str, object]:
    """The values of the fields by column; raises ValueError naming the bad column.
    Only the kept columns (all when None) are converted; the others are checked."""
    values = {}
    for (name, kind, keep), text in zip(plan or _plan(columns, kept), fields):
        try:
            if kind == 2:
                if text.isdigit():
                    if keep:
                        values[name] = int(text)
                    continue
                value = parse_integer(text)
            elif kind == 1:
                value = _NAMED_REALS[text] if text in _NAMED_REALS else parse_real(text)
            else:
                value = _time_of(text)
        except ValueError as error:
            raise ValueError(f"column '{name}': {error}") from None
        if keep:
            values[name] = value
    return values


_TIMES: Dict[str, Optional[datetime.datetime]] = {}


def _time_of(text: str) -> Optional[datetime.datetime]:
    """parse_time, remembering the day's midnight so that each day's date is read once."""
    day, _, clock = text.partition(" ")
    midnight = _TIMES.get(day)
    if midnight is None or len(clock) != 8 or clock[2] != ":" or clock[5] != ":" \
            or not (clock[:2] + clock[3:5] + clock[6:]).isdigit():
        value = parse_time(text)
        if value is not None and len(_TIMES) < 100000:
            _TIMES[day] = value.replace(hour=0, minute=0, second=0)
        return value
    hour, minute, second = int(clock[:2]), int(clock[3:5]), int(clock[6:])
    if hour > 23 or minute > 59 or second > 59:
        return parse_time(text)
    return midnight + datetime.timedelta(hours=hour, minutes=minute, seconds=second)


_CHUNK = 4096  # lines read together by the fast reading


def _slow_line(log, number, text, bare, plan):
    """Reads one line field by field, or names it as a problem."""
    columns = log.columns
    try:
        fields = _split(bare)
    except csv.Error as error:
        log.problems.append(Problem(number, f"not CSV ({error}): skipped", _shown(text)))
        return
    if len(fields) != len(columns):
        log.problems.append(Problem(
            number, f"{len(fields)} fields instead of {len(columns)}: skipped", _shown(text)))
        return
    try:
        values = _parse_fields(columns, fields, plan=plan)
    except ValueError as error:
        log.problems.append(Problem(number, f"{error}: skipped", _shown(text)))
        return
    for name, column in log.table.items():
        column.append(values.get(name))
    log.lines.append(DataLine(number, Row(log.table, len(log.lines)), bare, columns))


def _fast_chunk(bare, plan):
    """The kept columns of lines that are all plain (the time first, then numbers,
    no quotes, every field there), read by numpy at once; None when any line is
    not, so that the lines are read one by one and each bad one named."""
    if numpy is None or plan[0][1] != 0 or any(kind == 0 for _, kind, _ in plan[1:]):
        return None
    commas = len(plan) - 1
    if any(not line or '"' in line or line.count(",") != commas or line.count(" ") > 1
           or "\t" in line or "\r" in line for line in bare):
        return None  # (numpy would pass over blanks and split at a stray CR)
    try:
        numbers = numpy.loadtxt(bare, delimiter=",", usecols=range(1, len(plan)), dtype=float,
                                comments=None, ndmin=2)
        times = [_time_of(line[:line.index(",")]) for line in bare]
    except ValueError:
        return None
    if numbers.shape[0] != len(bare):
        return None
    found = {plan[0][0]: times}
    for index, (name, kind, keep) in enumerate(plan[1:]):
        column = numbers[:, index]
        if kind == 2:  # whole numbers, exact in a double
            with numpy.errstate(invalid="ignore"):
                if not (numpy.all(numpy.abs(column) < 2.0 ** 53)
                        and numpy.all(column == numpy.floor(column))):
                    return None
            if keep:
                found[name] = column.astype(numpy.int64).tolist()
        elif keep:
            found[name] = column.tolist()
    return found


def _read_lines(log, lines, first_number, plan):
    """Reads the data lines into log.lines, log.table and log.problems, in file order."""
    log.table = {name: [] for name, _, keep in plan if keep}
    table, columns = log.table, log.columns
    for start in range(0, len(lines), _CHUNK):
        chunk = lines[start:start + _CHUNK]
        bare = [text[:-1] if text.endswith("\r") else text for text in chunk]
        first = first_number + start
        found = _fast_chunk(bare, plan)
        if found is None:
            for number, (text, line) in enumerate(zip(chunk, bare), start=first):
                if not line:
                    log.problems.append(Problem(number, "empty line: skipped", ""))
                else:
                    _slow_line(log, number, text, line, plan)
            continue
        base = len(log.lines) - first
        for name, column in table.items():
            column.extend(found[name])
        log.lines.extend(DataLine(number, Row(table, base + number), line, columns)
                         for number, line in enumerate(bare, start=first))


def _split(text: str) -> List[str]:
    """The fields of one line: a plain split unless the line quotes."""
    return text.split(",") if '"' not in text else next(csv.reader([text]))


def _shown(text: str) -> str:
    text = "".join(c if c.isprintable() else "?" for c in text.rstrip("\r\n"))
    return text if len(text) <= 160 else text[:160] + "…"


def read_log(path: str) -> DriveLog:
    """Reads one result log; raises NotALog or OSError."""
    with open(path, "rb") as file:
        raw = file.read()
    digest = hashlib.sha256(raw).hexdigest()
    # Latin-1 reads any byte without failing. Lines end at LF only (a CR
    # before it is part of the line end); the last piece without LF is torn.
    lines = raw.decode("latin-1").split("\n")
    del raw
    torn = lines.pop()
    if len(lines) + (1 if torn else 0) < 2:
        raise NotALog("it has no title and column line")
    if len(lines) < 2:
        lines.append(torn)
        torn = ""
    title = lines[0].rstrip("\r")
    try:
        columns = [name[len(HOST_VISIBLE):] if name.startswith(HOST_VISIBLE) else name
                   for name in next(csv.reader([lines[1].rstrip("\r")]), [])]
    except csv.Error as error:
        raise NotALog(f"its column line is not CSV ({error})") from None
    missing = [name for name in REQUIRED_COLUMNS if name not in columns]
    if missing:
        raise NotALog(f"its column line lacks '{missing[0]}'")

    log = DriveLog(path=path, title=title, columns=columns, modified=os.stat(path).st_mtime,
                   digest=digest)
    match = _FILE_NAME.search(os.path.basename(path))
    if match:
        log.drive, log.model = int(match.group(1)), match.group(2)
    else:
        log.model = os.path.splitext(os.path.basename(path))[0]

    # Every line keeps its number, and a bad line cannot swallow the next one.
    _read_lines(log, lines[2:], 3, _plan(columns, KEPT_COLUMNS))
    if torn:
        log.problems.append(Problem(len(lines) + 1, "torn last line (no line end): skipped",
                                    _shown(torn)))
    return log
