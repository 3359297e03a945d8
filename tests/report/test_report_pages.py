"""Report pages of a lab run and of a folder of three logs, opened in headless
Chromium with every chart's first point hovered; and the tidy CSV read by pandas.
Usage: test_report_pages.py <ssdtest-report> <ssdtest-lab> <build dir>"""

import csv
import html.parser
import os
import shutil
import subprocess
import sys
import time
import unittest

import pandas

REPORT, LAB, BUILD = (os.path.abspath(a) for a in sys.argv[1:4])
SCRATCH = os.path.join(BUILD, "report-scratch")


def run_lab(folder, rounds, faults="{}"):
    """A scripted run of lab drive 1 (16 MiB, one erase count per round) up to `rounds`."""
    os.makedirs(os.path.join(folder, "home", "My Dropbox", "Public"))
    shutil.copy(LAB, folder)
    shutil.copy(os.path.join(BUILD, "GaugeLens_2_21.exe"), folder)
    with open(os.path.join(folder, "ssdlab.json"), "w") as bench:
        bench.write('{ "drives": [ { "number": 1, "kind": "kvt", "size_mib": 16, "model": "Lab R16", '
                    '"serial": "LABR0016", "firmware": "1.0", "write_amplification": 1.1, '
                    '"rber_start": 1e-6, "rber_rated": 1e-5, "rated_cycles": 30, "seed": 8, '
                    f'"faults": {faults} }} ] }}\n')
    socket = f"ssdtest-report-test-{os.getpid()}"
    env = dict(os.environ, HOME=os.path.join(folder, "home"), SSDTEST_TRACE=os.path.join(folder, "trace"),
               SSDTEST_VIEWER_TMUX_SOCKET=socket, SSDTEST_VIEWER_DIR=folder)
    env.pop("SSDLAB_DIR", None)
    try:
        subprocess.run(["./ssdtest-lab"], cwd=folder, env=env, input=f"1\nN\n{rounds}\n", text=True,
                       capture_output=True, timeout=300, check=True)
    finally:
        subprocess.run(["tmux", "-L", socket, "kill-server"], capture_output=True)
    return os.path.join(folder, "drive1_Lab R16.csv")


def render(inputs, page, table):
    subprocess.run([REPORT, "-o", page, "--csv", table] + inputs, check=True, capture_output=True)


class PageFacts(html.parser.HTMLParser):
    """What the page shows after the browser ran it: charts, figures, errors."""

    def __init__(self, dom):
        super().__init__()
        self.drawn, self.figures, self.links, self.sections, self.text = [], {}, [], [], []
        self.hovers = []
        self.checked, self.errors, self._into = None, "", None
        self.feed(dom)
        self.text = "".join(self.text)

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "body":
            self.checked = a.get("data-checked")
        if tag == "figure" and "chart" in a.get("class", "").split():
            self.drawn.append(a.get("data-drawn"))
            self.hovers.append(a.get("data-hover", ""))
        if tag == "section" and a.get("class") == "drive":
            self.sections.append(a["id"])
        if tag == "a" and a.get("href", "").startswith("#"):
            self.links.append(a["href"][1:])
        if "data-column" in a:
            self._into = (self.sections[-1], a["data-column"])
        if a.get("id") == "page-errors":
            self._into = "errors"

    def handle_endtag(self, tag):
        self._into = None

    def handle_data(self, data):
        self.text.append(data)
        if self._into == "errors":
            self.errors += data
        elif self._into:
            self.figures[self._into] = data
        self._into = None


def open_in_chromium(page):
    result = subprocess.run(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--enable-logging=stderr", "--v=0",
         f"--user-data-dir={SCRATCH}/chromium", "--virtual-time-budget=10000", "--dump-dom",
         "file://" + page + "#hover-check"], capture_output=True, text=True, timeout=120)
    console = [line for line in result.stderr.splitlines() if ":CONSOLE" in line]
    return PageFacts(result.stdout), console


def last_line_fields(log):
    with open(log, newline="") as file:
        rows = [row for row in csv.reader(file) if row]
    return dict(zip(rows[1], rows[-1]))


class ReportPages(unittest.TestCase):
    def check_page(self, page, charts):
        facts, console = open_in_chromium(page)
        self.assertEqual(facts.checked, "yes", "the page's script did not run")
        self.assertEqual(facts.drawn, ["yes"] * charts)
        self.assertEqual((facts.errors, console), ("", []))
        self.assertNotIn("", facts.hovers, "a chart whose first point shows no value on hover")
        return facts

    def check_header(self, facts, section, fields):
        shown = {column: text for (where, column), text in facts.figures.items() if where == section}
        self.assertGreaterEqual(len(shown), 9)
        self.assertEqual(shown, {column: fields[column] for column in shown})

    def test_lab_run(self):
        folder = os.path.join(SCRATCH, "lab")
        log = run_lab(folder, 4, '{ "bit_errors_at_mib": [5, 6], "bit_errors_per_mib": 4 }')
        page, table = os.path.join(folder, "run.html"), os.path.join(folder, "run.csv")
        render([log], page, table)
        facts = self.check_page(page, 7)  # the six charts and the error map's heat map
        self.assertRegex(facts.hovers[0], r"^(cumulative|per round): RBER [0-9.e-]+ at erase count \d, round \d$")
        self.assertEqual(facts.hovers[6], "round 1 (round end): 15 MiB verified")
        with open(page) as file:
            shown = file.read()
        for rnd in range(1, 5):  # both faulty MiB in every round, four bits each
            for mib in (5, 6):
                self.assertIn(f"round {rnd} (round end, erase count {rnd}): MiB {mib}–{mib + 1}: "
                              "4 bit errors, 4 failed sectors in 1 block(s)", shown)
        self.check_header(facts, "drive-1", last_line_fields(log))
        self.assertIn("LABR0016", facts.text)  # the serial, from the viewer capture
        self.assertIn("0 → 4", facts.text)

        frame = pandas.read_csv(table, parse_dates=["time"])
        self.assertEqual(len(frame), 5)
        self.assertEqual(list(frame["kind"]), ["initial"] + ["round end"] * 4)
        self.assertEqual(list(frame["round"]), [0, 1, 2, 3, 4])
        for column, kind in (("average_erase_count", "i"), ("sector_fail_count", "i"),
                             ("raw_bit_error_rate_calculated", "f"), ("read_speed_mb_s", "f"),
                             ("time", "M"), ("drive", "i")):
            self.assertEqual(frame[column].dtype.kind, kind, column)
        self.assertTrue(frame["raw_bit_error_rate_calculated"].isna()[0])  # -nan of the first line

    def test_folder_of_three_logs(self):
        folder = os.path.join(SCRATCH, "bench")
        lab = run_lab(os.path.join(SCRATCH, "for-bench"), 2)
        os.makedirs(folder)
        worn, fresh, other = (os.path.join(folder, name) for name in (
            "drive1_Lab R16.csv", "drive3_Lab Big.csv", "drive2_RZB Lab.csv"))
        shutil.copy(lab, worn)
        old = time.time() - 3 * 86400
        os.utime(worn, (old, old))
        with open(lab, newline="") as file:
            header = file.read().splitlines()[:2]
        columns = header[1].split(",")
        template = last_line_fields(lab)

        def kvt(when, aec, reads, writes, round_rber, read, write, **more):
            values = dict(template, **{"Date-Time": f"2026-Dec-09 {when}", "Average Erase Count": aec,
                                       "Total Count of Read Sectors": reads,
                                       "Total Count of Write Sectors": writes,
                                       "Raw Bit Error Rate(Last Round)": round_rber,
                                       "Read Speed(MB/s)": read, "Write Speed(MB/s)": write}, **more)
            return ",".join(str(values[c]) for c in columns) + "\n"

        batch, round_ = 2097152, 2 * 2097152 + 500 * 2048
        lines = [kvt("10:00:00", 0, 0, 0, 0, 0, 0, **{"Raw Bit Error Rate(Calculated)": "-nan"}),
                 kvt("10:01:00", 0, batch, batch, 0, 900, 1200),
                 kvt("10:02:00", 1, 2 * batch, 2 * batch, 0, 900, 1200),
                 kvt("10:03:00", 1, round_, round_, 1.5e-6, 900, 1200),
                 kvt("10:05:00", 2, 2 * round_, 2 * round_, 0, 900, 1200,
                     **{"Uncorrectable Bit Error Rate(8bitECC)": "inf"}),
                 kvt("10:06:00", 2, 2 * round_ + batch, 2 * round_ + batch, 0, 900, 1200),
                 "2026-Dec-09 10:07:00,abc" + ",0" * 31 + "\n",
                 kvt("10:08:00", 3, 3 * round_, 3 * round_, 2e-6, 900, 1200),
                 kvt("10:09:00", 3, 4 * round_, 3 * round_, 2e-6, 1500, 0),
                 kvt("10:10:00", 3, 4 * round_ + batch, 3 * round_ + batch, 0, 900, 1200)[:40]]
        with open(fresh, "w", newline="") as file:
            file.write("\n".join(header) + "\n" + "".join(lines))
        results = header[1].split(",", 23)[23]
        with open(other, "w", newline="") as file:
            file.write("RZB411/412 Tallymark Log v1.0\r\nDate-Time,Power Cycle Count,Average Erase Count,"
                       "Maximum Erase Count,Good Block Count,System Block Count,ECC Fail Count,ECC Fail "
                       "Channel,ECC Fail Bank,ECC Fail Address1,ECC Fail Address2,ECC Fail Address3,"
                       + results + "\r\n")
            for n, (rate, last) in enumerate([("-nan", 0), ("1e-7", "1e-7"), ("3e-7", "5e-7")]):
                file.write(f"2026-Dec-09 11:0{n}:00,1,{n // 2},{n + 1},4096,64,0,0,0,0,0,0,"
                           f"{rate},{n}e-20,0,{last},0,0,{n},{n},{n * 700},{n * 800}\r\n")
        shutil.copy(os.path.join(os.path.dirname(lab), "ssdlab.json"), folder)
        with open(fresh[:-4] + ".status.json", "w") as file:
            file.write('{"format": "ssdtest-status", "state": "failed", "reason": "I/O error at MiB 7", '
                       '"updated": "2026-12-09T10:10:00Z", "drive": {"serial": "SFRESH01"}}')
        with open(os.path.join(folder, "drive1_20261209T100000_bank.csv"), "w") as file:
            file.write("Bank,Blocks\r\n0,16\r\n")

        page, table = os.path.join(folder, "bench.html"), os.path.join(folder, "bench.csv")
        render([folder], page, table)
        facts = self.check_page(page, 3 + 6 + 6 + 5)
        text = facts.text
        self.assertEqual(facts.links, ["drive-3", "drive-1", "drive-2"])  # most worn first
        self.assertEqual(text.count("stale: "), 1)  # the old log only
        self.assertIn("stale: no status file; the log unchanged for 3 d", text)
        self.assertIn("failed: I/O error at MiB 7", text)
        self.assertIn("SFRESH01", text)  # the serial from the status file
        self.assertIn("line 9: column 'Average Erase Count': 'abc' is not a whole number", text)
        self.assertIn("line 12: torn last line", text)
        self.assertIn("drive1_20261209T100000_bank.csv: not a result log", text)
        self.check_header(facts, "drive-1", last_line_fields(worn))
        self.check_header(facts, "drive-2", last_line_fields(other))
        self.check_header(facts, "drive-3", dict(zip(columns, lines[8].rstrip("\n").split(","))))

        frame = pandas.read_csv(table)
        kinds = frame[frame["file"] == fresh]
        self.assertEqual(list(kinds["kind"]), ["initial", "in-round", "in-round", "round end", "round end",
                                              "in-round", "round end", "read-only"])
        self.assertEqual(list(kinds["round"]), [0, 1, 1, 1, 2, 3, 3, 3])
        self.assertEqual(len(frame), 8 + 3 + 3)
        self.assertEqual(frame["uncorrectable_bit_error_rate_8bitecc"].dtype.kind, "f")


if __name__ == "__main__":
    shutil.rmtree(SCRATCH, ignore_errors=True)
    os.makedirs(SCRATCH)
    outcome = unittest.main(argv=sys.argv[:1], exit=False).result
    if outcome.wasSuccessful():
        shutil.rmtree(SCRATCH, ignore_errors=True)
    sys.exit(0 if outcome.wasSuccessful() else 1)
