"""python3 -m ssdtest_report: the command line, from the source tree."""
import sys

from .cli import main

sys.exit(main())
