"""Units of the report tool: reading logs, rounds, durations, the error map,
the run status and the fleet table, hover titles and names with "$"."""

import csv
import datetime
import json
import os
import time

import pytest

from ssdtest_report import charts, errormap, fleet, hover, inputs, logread, page, runstatus, tidy, utctimes
from ssdtest_report.rounds import count_rounds

COLUMNS = ("Date-Time,Average Erase Count,Total Count of Read Sectors,Total Count of Write Sectors,"
           "Raw Bit Error Rate(Calculated),Uncorrectable Bit Error Rate(8bitECC),"
           "Raw Bit Error Rate(Last Round),Uncorrectable Bit Error Count,Sector Fail Count,"
           "Read Speed(MB/s),Write Speed(MB/s)")
BATCH = 2097152
ROUND = 2 * BATCH + 300 * 2048
UTC = datetime.timezone.utc
NOW = datetime.datetime(2026, 12, 9, 12, 0, tzinfo=UTC)


def line(time, aec, reads, writes, round_rate=0, read=500, write=400, rate="1e-9", bits=0):
    return f"2026-Dec-09 {time},{aec},{reads},{writes},{rate},1e-20,{round_rate},{bits},0,{read},{write}\r\n"


def write_log(folder, lines, name="drive1_M.csv", status=None, error_map=None):
    path = os.path.join(folder, name)
    with open(path, "w", newline="") as file:
        file.write("Pinewade Tallymark Log v1.1\r\n" + COLUMNS + "\r\n" + "".join(lines))
    if status is not None:
        with open(runstatus.status_path(path), "w") as file:
            json.dump(dict({"format": "ssdtest-status", "format_version": 1}, **status), file)
    if error_map is not None:
        with open(errormap.map_path(path), "w") as file:
            file.write(",".join(errormap.COLUMNS) + "\n" + error_map)
    return inputs._load(path)


INITIAL = line("10:00:00", 0, 0, 0, read=0, write=0, rate="-nan")


MIB = 1 << 20
# A 1025 MiB drive: a round is its blocks up to the one whose successor would
# reach the end, 1024 of them, one whole batch.
ONE_BATCH = [INITIAL] + [line(f"10:0{n}:00", n, n * BATCH, n * BATCH) for n in (1, 2, 3)]
ONE_BATCH_DRIVE = {"status": {"drive": {"size_bytes": 1025 * MIB}}}
MIXED_DRIVE = {"status": {"drive": {"size_bytes": ROUND // 2048 * MIB + MIB}}}


@pytest.mark.parametrize("lines, kinds, rounds, beside", [
    ([INITIAL, line("10:01:00", 0, BATCH, BATCH), line("10:02:00", 1, ROUND, ROUND)],
     ["initial", "in-round", "round end"], 1, {}),
    # A round abandoned before its first block reads nothing: no round.
    ([INITIAL, line("10:01:00", 1, ROUND, ROUND, 2e-9), line("10:02:00", 1, ROUND, ROUND)],
     ["initial", "round end", "empty end"], 1, {}),
    # A read-only pass writes nothing and is no round either.
    ([INITIAL, line("10:01:00", 1, ROUND, ROUND, 2e-9), line("10:03:00", 1, 2 * ROUND, ROUND, 1e-9,
                                                            write=0)],
     ["initial", "round end", "read-only"], 1, {}),
    # Rounds of one whole batch without bit errors: the drive size (or the
    # error map's round length) tells their ends; the batch grid alone cannot.
    (ONE_BATCH, ["initial"] + ["round end"] * 3, 3, ONE_BATCH_DRIVE),
    (ONE_BATCH, ["initial"] + ["round end"] * 3, 3, {"error_map": "1,T,1,round end,1024,0,0,0\n"}),
    (ONE_BATCH, ["initial"] + ["in-round"] * 3, 0, {}),
    # A 1026 MiB drive's round is a batch and a block: its first batch is in-round.
    (ONE_BATCH[:2], ["initial", "in-round"], 0, {"status": {"drive": {"size_bytes": 1026 * MIB}}}),
    # Rounds of several batches with the size known: in-round lines (one with
    # a few foreign reads), whole rounds, and a round stopped early.
    ([INITIAL, line("10:01:00", 0, BATCH + 500, BATCH), line("10:02:00", 0, 2 * BATCH, 2 * BATCH),
      line("10:03:00", 1, ROUND, ROUND), line("10:04:00", 1, ROUND + BATCH, ROUND + BATCH),
      line("10:05:00", 2, 2 * ROUND + 700, 2 * ROUND), line("10:06:00", 2, 2 * ROUND + 200 * 2048, 0)],
     ["initial", "in-round", "in-round", "round end", "in-round", "round end", "round end"], 3,
     MIXED_DRIVE),
])
def test_rounds(tmp_path, lines, kinds, rounds, beside):
    log = write_log(str(tmp_path), lines, **beside)
    assert [x.kind for x in log.lines] == kinds
    assert count_rounds(log) == rounds


@pytest.mark.parametrize("tail, problem", [
    ("2026-Dec-09 10:09:00,1,2", "torn last line"),
    ("2026-Feb-30 10:09:00,1,2,2,0,0,0,0,0,0,0\r\n", "day is out of range"),
    ("2026-Dec-09 10:09:00,x,2,2,0,0,0,0,0,0,0\r\n", "'x' is not a whole number"),
    ("2026-Dec-09 10:09:00,1,2\r\n", "3 fields instead of 11"),
])
def test_bad_lines_are_named_not_read(tmp_path, tail, problem):
    log = write_log(str(tmp_path), [INITIAL, tail])
    assert len(log.lines) == 1
    assert [p.line for p in log.problems] == [4] and problem in log.problems[0].reason


def test_durations_never_negative_across_a_clock_change(tmp_path):
    log = write_log(str(tmp_path), [
        line("10:00:00", 0, 0, 0, read=0, write=0, rate="-nan"),
        line("10:10:00", 1, ROUND, ROUND, 1e-9),
        line("04:45:00", 2, 2 * ROUND, 2 * ROUND, 1e-9),  # the clock went back 5.5 h
        line("04:55:00", 3, 3 * ROUND, 3 * ROUND, 1e-9)])
    assert charts.durations(log) == ([(1, 600.0), (3, 600.0)], 1)


def test_times_in_utc_across_daylight_saving_and_from_the_status_file(tmp_path, monkeypatch):
    monkeypatch.setenv("TZ", "Europe/Berlin")
    time.tzset()
    try:
        night = [line(t, n, n * ROUND, n * ROUND, 1e-9).replace("Dec-09", "Oct-25")
                 for n, t in enumerate(["02:20:00", "02:50:00", "02:10:00", "02:40:00"])]
        log = write_log(str(tmp_path), night)  # the clock went back an hour at 03:00 CEST
        assert charts.durations(log) == ([(2, 1800.0), (3, 1200.0), (4, 1800.0)], 0)
        table = str(tmp_path / "t.csv")
        tidy.write([log], table)
        with open(table) as file:
            rows = list(csv.DictReader(file))
        assert [r["time"][11:19] for r in rows] == ["00:20:00", "00:50:00", "01:10:00", "01:40:00"]
        assert [r["round_seconds"] for r in rows] == ["", "1800.0", "1200.0", "1800.0"]
        # A status file written in New York at the last line: its offset wins.
        placed = write_log(str(tmp_path), night[:2], "drive2_M.csv",
                           status={"updated": "2026-10-25T06:51:30Z"})
        assert utctimes.utc_times(placed)[1].isoformat() == "2026-10-25T06:50:00+00:00"
        assert "UTC-04:00" in utctimes.source(placed)
    finally:
        monkeypatch.delenv("TZ")
        time.tzset()


MAP = ("1,T,1,block,3,1,12,1\n1,T,1,block,7,1,2,0\n1,T,1,rest,9,40,80,0\n1,T,1,round end,16,42,94,1\n"
       "2,T,2,block,3,1,5,0\n"  # left by a run that ended before its round line
       "2,U,2,abandoned,4,0,0,0\n3,U,2,bl")


def test_error_map_rounds_blocks_and_leftovers(tmp_path):
    log = write_log(str(tmp_path), [INITIAL], error_map=MAP)
    first, second = log.error_map.rounds
    assert (first.kind, first.verified_mib, first.blocks, first.unlisted, first.bit_errors) == \
        ("round end", 16, [(3, 12, 1), (7, 2, 0)], 40, 94)
    assert (second.kind, second.blocks) == ("abandoned", [])
    assert log.error_map.unread == 2
    svg = charts.error_heat_map(log, log.error_map, "t")
    assert "MiB 3–4: 12 bit errors, 1 failed sectors" in svg
    with open(errormap.map_path(log.path), "w") as file:
        file.write("something,else\n")
    assert errormap.read_map(errormap.map_path(log.path)) is None


@pytest.mark.parametrize("status, state, reason", [
    ({"state": "running", "updated": "2026-12-09T11:00:00Z"}, "running", ""),
    ({"state": "running", "updated": "2026-12-07T11:00:00+02:00"}, "stale", "running, last update 2 d ago"),
    ({"state": "failed", "reason": "I/O error at 100 MiB", "updated": "2026-12-01T11:00:00Z"},
     "failed", "I/O error at 100 MiB"),
    ({"state": "exploded", "updated": "2026-12-09T11:00:00Z"}, "unknown", ""),
    ({"state": "running", "updated": "2026-12-09 11:00:00"}, "stale", "running, last update never"),
])
def test_run_states(status, state, reason):
    assert runstatus.state_of(status, NOW) == (state, reason)


def test_fleet_row_from_status_else_from_log(tmp_path):
    lines = [INITIAL, line("10:01:00", 1, ROUND, ROUND, 2e-9, bits=3)]
    with_status = write_log(str(tmp_path), lines, "drive1_M.csv", status={
        "state": "abandoned", "reason": "key", "host": "bench7", "target_aec": 11,
        "start_average_erase_count": 1, "average_erase_count": 6, "bytes_written": 2e12,
        "updated": "2026-12-09T11:00:00Z", "drive": {"serial": "S1", "model": "M"}})
    row = fleet.row(with_status, NOW)
    assert (row["state"], row["reason"], row["serial"], row["host"], row["progress"], row["tb"]) == \
        ("abandoned", "key", "S1", "bench7", 50.0, 2.0)
    bare = write_log(str(tmp_path), lines, "drive2_M.csv")
    old = NOW.timestamp() - 3 * 86400
    os.utime(bare.path, (old, old))
    bare.modified = old
    row = fleet.row(bare, NOW)
    assert (row["state"], row["serial"], row["bits"], row["rounds"]) == ("stale", "", 3, 1)
    page = fleet.table([with_status, bare], ["a", "b"], NOW)
    assert page.count("class=\"marked") == 2 and "abandoned: key" in page


def test_hover_titles_go_to_each_point_in_order():
    svg = ('<g id="series-1"><path d="M0"/><defs><path id="m1"/></defs><use x="1"/><use x="2"/></g>'
           '<g id="series-2"><path d="M1"/></g>')
    assert hover.inject(svg, {"series-1": ["a", "b<c"], "series-2": ["bar"]}) == (
        '<g id="series-1"><path d="M0"/><defs><path id="m1"/></defs><use x="1"><title>a</title></use>'
        '<use x="2"><title>b&lt;c</title></use></g><g id="series-2"><path d="M1"><title>bar</title></path></g>')


def test_names_with_dollars_are_text(tmp_path):
    log = write_log(str(tmp_path), [INITIAL, line("10:01:00", 1, ROUND, ROUND, 2e-9)],
                    "drive1_$5 to $9.csv")
    svgs = charts.bench_charts([log], ["drive 1 · $5 to $9"], ["drive-1"])
    assert "$5 to $9" in svgs[0] and 'href="#drive-1"' in svgs[0]


def test_many_drives_get_one_linked_panel_each(tmp_path):
    logs = [write_log(str(tmp_path), [INITIAL, line("10:01:00", 1, ROUND, ROUND, 2e-9),
                                      line("10:02:00", 2, 2 * ROUND, 2 * ROUND, 3e-9)], f"drive{n}_M.csv")
            for n in range(1, 8)]
    rber = charts.bench_charts(logs, [f"drive {n}" for n in range(1, 8)],
                               [f"drive-{n}" for n in range(1, 8)])[0]
    for n in range(1, 8):  # the panel's title and its series link to the section
        assert rber.count(f'href="#drive-{n}"') >= 2
    assert rber.count("<title>drive 7: RBER") == 2  # every round end keeps its value


def test_shared_folder_finds_the_error_map_beside_each_copy(tmp_path):
    for name in ("drive1_M.csv", "drive1_M_SERIAL2.csv"):  # a copy moved aside keeps its map
        write_log(str(tmp_path), [INITIAL], name, status={"drive": {"serial": name}}, error_map=MAP)
    logs, passed_over = inputs.collect([str(tmp_path)])
    assert passed_over == [] and [len(log.error_map.rounds) for log in logs] == [2, 2]
    assert page.render(logs, [], NOW).count("Where the errors are (error map)") == 2


def test_fast_and_line_by_line_reading_agree(tmp_path, monkeypatch):
    lines = [INITIAL] + [line(f"10:{n:02d}:00", n, n * ROUND, n * ROUND, n * 1e-9, rate=r, bits=n)
                         for n, r in enumerate(["inf", "-nan", "1.5e-7", "2"], start=1)]
    fast = write_log(str(tmp_path), lines)
    monkeypatch.setattr(logread, "numpy", None)
    slow = write_log(str(tmp_path), lines)
    assert str(fast.table) == str(slow.table)  # as text: a NaN equals no NaN
    assert [type(v) for v in fast.table["Uncorrectable Bit Error Count"]] == [int] * 5
    assert [x.line for x in fast.lines] == [3, 4, 5, 6, 7] and not fast.problems
