"""Command line of ssdtest-report."""

import argparse
import gc
import sys

from .inputs import InputError, collect

PROGRAM = "ssdtest-report"
DESCRIPTION = """\
Draws the result logs of ssdtest (drive<N>_<model>.csv) as one self-contained
HTML page: per drive the bit error rates, the uncorrectable error estimates,
the errors the tester counted, the drive's failure blocks, speeds and time
per round against the erase count; for several logs also a bench table and
one chart of all drives. A folder is searched for result logs (other CSV
files in it are named in the page and passed over)."""
EPILOG = """\
examples:
  ssdtest-report -o drive1.html "drive1_Brindlecove KV Lab 256.csv"
  ssdtest-report -o bench.html --csv bench.csv "$HOME/My Dropbox/Public"

exit status: 0 page written, 1 a needed library is missing,
2 bad arguments, an input that is not a readable result log, or an output
that cannot be written."""


def version() -> str:
    """The version and source commit the program was packed from."""
    try:
        from ._version import VERSION
    except ImportError:
        return "unknown (not packed)"
    return VERSION


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        self.exit(2, f"{PROGRAM}: {message} (see --help)\n")


def _arguments(argv):
    parser = _Parser(prog=PROGRAM, description=DESCRIPTION, epilog=EPILOG,
                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--version", action="version", version=f"{PROGRAM} {version()}")
    parser.add_argument("inputs", nargs="+", metavar="LOG_OR_FOLDER",
                        help="a result log, or a folder searched for result logs")
    parser.add_argument("-o", "--output", default="ssdtest-report.html", metavar="PAGE",
                        help="the HTML page to write (default: %(default)s)")
    parser.add_argument("--csv", metavar="OUT",
                        help="also write every data line as a tidy CSV file for analysis tools, "
                             "with line kind and round added; 'time' is in UTC (ISO 8601, "
                             "+00:00): the log's local time placed by the tester's UTC offset "
                             "from the run status file beside the log, else by this computer's "
                             "time zone and its daylight saving rules; 'local_time' as logged "
                             "(ISO 8601, no offset); 'round_seconds' on round ends, from the "
                             "UTC times, empty where they run backwards")
    return parser.parse_args(argv)


def _fail(code, message):
    print(f"{PROGRAM}: {message}", file=sys.stderr)
    return code


def main(argv=None):
    options = _arguments(sys.argv[1:] if argv is None else argv)
    # The lines read stay until the end: the collector need not scan them
    # again and again while they are read and drawn.
    gc.disable()
    try:
        logs, passed_over = collect(options.inputs)
    except InputError as error:
        return _fail(2, error)
    gc.freeze()
    gc.enable()
    try:
        from . import page
    except ImportError as error:
        return _fail(1, f"{error.name or error} is missing (Debian: apt-get install python3-matplotlib)")
    from . import tidy

    text = page.render(logs, passed_over)
    try:
        with open(options.output, "w", encoding="utf-8", newline="\n") as file:
            file.write(text)
        if options.csv:
            tidy.write(logs, options.csv)
    except OSError as error:
        return _fail(2, f"{error.filename}: cannot be written: {error.strerror}")
    unread = sum(len(log.problems) for log in logs)
    print(f"{PROGRAM}: wrote {options.output}: {len(logs)} drive(s), "
          f"{sum(len(log.lines) for log in logs)} data lines"
          + (f", {unread} line(s) not read (named in the page)" if unread else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
