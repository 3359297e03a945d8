"""The layer check fails on each kind of breach planted in a scratch copy of
the core, and passes on the copy unchanged.

    python3 check_layers_test.py <source folder> <configured build folder>
"""

import os
import shutil
import subprocess
import sys
import tempfile

FOLDERS = ("console", "engine", "tracking", "viewer", "smart", "disks", "status", "text",
           "platform")
ENGINE = "engine/pattern.cpp"
DISKS = "disks/disk_state.cpp"
VIEWER = "viewer/gauge_lens.cpp"
# (file, line planted, at the file's top or end, what the check must print)
PLANTS = [
    (ENGINE, "#include <console/run_driver.h>", "top",
     "engine/pattern.cpp: includes console/run_driver.h (edge engine -> console not allowed)"),
    (ENGINE, '#include "../console/run_driver.h"', "top",
     "engine/pattern.cpp: includes console/run_driver.h (edge engine -> console not allowed)"),
    (DISKS, '#include "status/cssd_status.h"', "top",
     "disks/disk_state.cpp: includes status/cssd_status.h (edge disks -> status not allowed)"),
    # Edges within a row: the loops tell tracking through round events, the
    # viewer knows nothing of tracking.
    (ENGINE, '#include "tracking/drive_check.h"', "top",
     "engine/pattern.cpp: includes tracking/drive_check.h (edge engine -> tracking not allowed)"),
    (VIEWER, '#include "tracking/result_log.h"', "end",
     "viewer/gauge_lens.cpp: includes tracking/result_log.h (edge viewer -> tracking not allowed)"),
    (ENGINE, '#include "platform/posix/drive/sat_translate.h"', "top",
     "(edge engine -> platform/posix not allowed)"),
    (ENGINE, "#include <sys/stat.h>", "top", "sys/stat.h (an OS header"),
    (DISKS, "#include <windows.h>", "top", "disks/disk_state.cpp:1: includes windows.h (an OS header)"),
    (DISKS, "#ifdef __linux__\n#endif", "end", "conditional compilation (#ifdef __linux__)"),
]


def run_check(source, build, tree):
    check = os.path.join(source, ".ci", "check_layers.py")
    command = [sys.executable, check, "--build", build, "--tree", tree, ENGINE, DISKS, VIEWER]
    return subprocess.run(command, capture_output=True, text=True)


def main(source, build):
    failures = []
    with tempfile.TemporaryDirectory(prefix="layers-") as tree:
        for folder in FOLDERS:
            shutil.copytree(os.path.join(source, folder), os.path.join(tree, folder))
        clean = run_check(source, build, tree)
        if clean.returncode != 0:
            failures.append(f"unchanged copy: exit {clean.returncode}\n{clean.stdout}{clean.stderr}")
        for path, line, where, expected in PLANTS:
            target = os.path.join(tree, path)
            original = open(target, encoding="utf-8").read()
            planted = f"{line}\n{original}" if where == "top" else f"{original}\n{line}\n"
            open(target, "w", encoding="utf-8").write(planted)
            result = run_check(source, build, tree)
            open(target, "w", encoding="utf-8").write(original)
            if result.returncode != 1 or expected not in result.stdout:
                failures.append(f"{path} with {line!r}: exit {result.returncode}, "
                                f"expected {expected!r} in:\n{result.stdout}{result.stderr}")
    for failure in failures:
        print(f"FAIL {failure}")
    print(f"{len(PLANTS) + 1 - len(failures)} of {len(PLANTS) + 1} cases as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
