#!/usr/bin/env bash
# Runs one 1 GiB lab drive for 40 erase counts (with a weak region of five
# MiB), draws its report from the shared folder, as a reader of the published
# logs does, and takes the screenshot docs/report-lab-run.png.
#   bash docs/report-lab-run.sh [build-folder] [scratch-folder]
set -euo pipefail
build=$(realpath "${1:-build}")
work=$(realpath -m "${2:-/tmp/ssdtest-report-lab-run}")
docs=$(realpath "$(dirname "${BASH_SOURCE[0]}")")
rm -rf "$work" && mkdir -p "$work/bench" "$work/run" "$work/shared"
cat > "$work/bench/ssdlab.json" <<'JSON'
{ "drives": [
  { "number": 1, "kind": "kvt", "size_mib": 1024, "model": "Brindlecove KV Lab 1024", "serial": "BKV1024000001", "firmware": "1.0", "write_amplification": 1.1, "rber_start": 1e-8, "rber_rated": 1e-5, "rated_cycles": 30, "seed": 11, "faults": { "bit_errors_at_mib": [384, 385, 386, 387, 720], "bit_errors_per_mib": 6 } }
] }
JSON
SSDLAB_DIR="$work/bench" SSDTEST_TRACE="$work/trace" "$build/ssdtest-lab" --drive 1 --aec-target 40 \
    --dir "$work/run" --shared-dir "$work/shared" --no-viewer > "$work/drive1.out" 2>&1
"$build/ssdtest-report" -o "$work/lab-run.html" "$work/shared"
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir="$work/chromium" \
    --window-size=1400,2400 --screenshot="$docs/report-lab-run.png" "file://$work/lab-run.html" > /dev/null 2>&1
echo "page: $work/lab-run.html"
