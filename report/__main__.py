"""Entry of ssdtest-report (the packed program, or `python3 report` in the source tree)."""
import sys

from ssdtest_report.cli import main

sys.exit(main())
