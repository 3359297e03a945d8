#!/usr/bin/env bash
# Lab NVMe drives tested to a target: through the dialogue (erase counts from
# the datacenter log) and through options (from drive writes, then from
# percentage used x rated cycles); their logs in the NVMe layout, read by the
# report.
source "$(dirname "$0")/lib.sh" "$@"

make_scratch nvme_lab
write_bench '
  { "number": 1, "kind": "nvme", "size_mib": 8, "model": "Lab NVMe 8M", "serial": "NV1", "firmware": "N1.0" },
  { "number": 2, "kind": "nvme", "size_mib": 8, "model": "Lab NVMe Plain", "serial": "NV2", "firmware": "N1.0", "datacenter_log": false }'

run_lab '1\nN\n2\n'
expect "erase count source" "Erase count source: datacenter log user data erase counts"
expect "round rate" "RBER: "
LOG="$SCRATCH/drive1_Lab NVMe 8M.csv"
check "log title names the NVMe layout" test "$(head -1 "$LOG" | tr -d '\r')" = "NVMe Health and Datacenter Log v1"
check "datacenter and host-visible columns" grep -q "Soft ECC Errors,Host-Visible Raw Bit Error Rate(Calculated)," "$LOG"
check "source in the trace" grep -q "drive 1 (NVMe): Erase count source: datacenter" "$SSDTEST_TRACE"

cd "$SCRATCH" || exit 1
OUT=$(timeout 600 ./ssdtest-lab --drive 2 --aec-target 2 --no-viewer 2>&1)
check "options: test exits 0" test $? = 0
expect "drive writes source" "Erase count source: drive writes (host writes / capacity)"
# Each round writes the 7 MiB after the first; the third passes two drive writes.
expect "summary to the target" "Summary: drive 2, rounds 3, erase count 0 -> 2,"
check "data units written in the log" test "$(awk -F, 'END { print $10 }' "$SCRATCH/drive2_Lab NVMe Plain.csv")" = 44

# The lab's 30 rated cycles: 2 erase cycles are 6 % used, 3 are 10 %.
OUT=$(timeout 600 ./ssdtest-lab --drive 2 --aec-target 250 --rated-pe-cycles 3000 --no-viewer 2>&1)
check "rated cycles: test exits 0" test $? = 0
expect "percentage used source" "Erase count source: percentage used x 3000 rated P/E cycles / 100"
expect "one round to the target" "Summary: drive 2, rounds 1, erase count 180 -> 300,"

if [ -x "$BUILD_DIR/ssdtest-report" ]; then
  OUT=$("$BUILD_DIR/ssdtest-report" -o "$SCRATCH/report.html" "$LOG" 2>&1)
  check "report reads the NVMe log" test $? = 0
  check "report names the layout" grep -q "NVMe (host-visible bit error rates)" "$SCRATCH/report.html"
fi
finish
