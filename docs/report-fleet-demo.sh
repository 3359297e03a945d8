#!/usr/bin/env bash
# Runs six lab drives into one folder (finished, abandoned by a signal, failed
# by an I/O error, SMART lost, stale, and one with bit errors in MiB 40 to 47),
# adds a run status file for each as the tester leaves them, draws the report
# and takes the screenshots docs/report-fleet.png and docs/report-error-map.png.
#   bash docs/report-fleet-demo.sh [build-folder] [scratch-folder]
set -euo pipefail
build=$(realpath "${1:-build}")
work=$(realpath -m "${2:-/tmp/ssdtest-report-demo}")
docs=$(realpath "$(dirname "${BASH_SOURCE[0]}")")
rm -rf "$work" && mkdir -p "$work/bench" "$work/run" "$work/shared"
cat > "$work/bench/ssdlab.json" <<'JSON'
{ "drives": [
  { "number": 1, "kind": "kvt", "size_mib": 64, "model": "Lab Finished", "serial": "LABF0001", "firmware": "1.0", "write_amplification": 1.05, "rber_start": 1e-7, "rber_rated": 1e-5, "rated_cycles": 30, "seed": 1 },
  { "number": 2, "kind": "kvt", "size_mib": 64, "model": "Lab Abandoned", "serial": "LABA0002", "firmware": "1.0", "write_amplification": 1.05, "rber_start": 1e-7, "rber_rated": 1e-5, "rated_cycles": 30, "seed": 2 },
  { "number": 3, "kind": "kvt", "size_mib": 64, "model": "Lab IO Error", "serial": "LABE0003", "firmware": "1.0", "write_amplification": 1.05, "rated_cycles": 30, "seed": 3, "faults": { "io_error_at_mib": 50 } },
  { "number": 4, "kind": "kvt", "size_mib": 64, "model": "Lab SMART Lost", "serial": "LABS0004", "firmware": "1.0", "write_amplification": 1.05, "rated_cycles": 30, "seed": 4, "faults": { "smart_fails_after_mib": 150 } },
  { "number": 5, "kind": "kvt", "size_mib": 64, "model": "Lab Stale", "serial": "LABT0005", "firmware": "1.0", "write_amplification": 1.05, "rated_cycles": 30, "seed": 5 },
  { "number": 6, "kind": "kvt", "size_mib": 64, "model": "Lab Weak Region", "serial": "LABW0006", "firmware": "1.0", "write_amplification": 1.05, "rber_start": 1e-7, "rber_rated": 1e-5, "rated_cycles": 30, "seed": 6, "faults": { "bit_errors_at_mib": [40, 41, 42, 43, 44, 45, 46, 47], "bit_errors_per_mib": 24 } }
] }
JSON
lab() { SSDLAB_DIR="$work/bench" SSDTEST_TRACE="$work/trace" "$build/ssdtest-lab" --drive "$1" \
        --aec-target "$2" --dir "$work/run" --shared-dir "$work/shared" --no-viewer > "$work/drive$1.out" 2>&1; }
lab 1 6 || true
# The abandoned one: SIGTERM ends a test as an abandon key does.
SSDLAB_DIR="$work/bench" SSDTEST_TRACE="$work/trace" "$build/ssdtest-lab" --drive 2 --aec-target 1000 \
    --dir "$work/run" --shared-dir "$work/shared" --no-viewer > "$work/drive2.out" 2>&1 &
pid=$!; sleep 4; kill -TERM "$pid"; wait "$pid" || true
lab 3 6 || true
lab 4 20 || true
lab 5 3 || true
lab 6 8 || true

# The status files, as the tester writes them at a run's end (UTC times).
now=$(date -u +%s)
status() {  # drive model state reason serial updated-seconds-ago
    local updated started
    updated=$(date -u -d "@$((now - $6))" +%Y-%m-%dT%H:%M:%SZ)
    started=$(date -u -d "@$((now - $6 - 600))" +%Y-%m-%dT%H:%M:%SZ)
    cat > "$work/run/drive$1_$2.status.json" <<JSON
{"format": "ssdtest-status", "format_version": 1, "tool_version": "demo", "host": "bench7",
 "drive": {"number": $1, "path": "lab$1", "serial": "$5", "model": "$2", "firmware": "1.0", "family": "kvt"},
 "test": "normal", "target_aec": $7, "state": "$3", "reason": "$4", "round": 0, "round_percent": 37.5,
 "started": "$started", "updated": "$updated", "estimated_end": null, "log_file": "drive$1_$2.csv"}
JSON
}
status 1 "Lab Finished" finished "" LABF0001 60 6
status 2 "Lab Abandoned" abandoned "stop requested (SIGTERM)" LABA0002 50 1000
status 3 "Lab IO Error" failed "I/O error at 50 MiB (Input/output error)" LABE0003 40 6
status 4 "Lab SMART Lost" failed "SMART lost: no SMART READ DATA answer for a whole round" LABS0004 30 20
status 5 "Lab Stale" running "" LABT0005 $((3 * 86400)) 3
status 6 "Lab Weak Region" finished "" LABW0006 20 8
touch -d "3 days ago" "$work/run/drive5_Lab Stale.csv"

"$build/ssdtest-report" -o "$work/fleet.html" "$work/run"
shot() {  # page output width height
    chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir="$work/chromium" \
        --window-size="$3,$4" --screenshot="$2" "file://$1" > /dev/null 2>&1
}
shot "$work/fleet.html" "$docs/report-fleet.png" 1640 1000
# The weak drive's heat map alone.
python3 - "$work" <<'PY'
import re, sys
page = open(sys.argv[1] + "/fleet.html", encoding="utf-8").read()
head, body = page.split("<body>", 1)
section = re.search(r'<section class="drive" id="drive-\d+"><h2>drive 6 .*?</section>', body, re.S).group()
title = re.search(r"<h2>.*?</h2>", section).group()
figure = [f for f in re.findall(r'<figure class="chart">.*?</figure>', section, re.S) if "error map" in f][0]
open(sys.argv[1] + "/weak.html", "w", encoding="utf-8").write(
    head + "<body>" + title + '<div style="max-width:900px">' + figure + "</div></body></html>")
PY
shot "$work/weak.html" "$docs/report-error-map.png" 940 620
echo "pages: $work/fleet.html $work/weak.html"
