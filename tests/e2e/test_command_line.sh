#!/usr/bin/env bash
# The command line of scripted runs on the lab's default bench: the drive list,
# a write test with its files in folders of its own, refusals with their
# reasons, a read-only test by serial, piped input that is never read as keys,
# a test that ends itself, bad options, help and version.
source "$(dirname "$0")/lib.sh" "$@"

make_scratch command_line
export SSDLAB_DIR="$SCRATCH/bench" SSDTEST_TRACE="$SCRATCH/out/trace.log"
D="$SCRATCH/out/D"
S="$SCRATCH/out/S"
WORK="$SCRATCH/out/work"
mkdir -p "$SSDLAB_DIR" "$D" "$S" "$WORK"
LOG="$D/drive1_Brindlecove KV Lab 256.csv"

# run_cli ARGS...: the lab executable with ARGS from the work folder, no input;
# stdout and stderr in $OUT, stderr alone in $ERR, exit code in $RC.
run_cli() {
  (cd "$WORK" && timeout 600 "$SCRATCH/ssdtest-lab" "$@" </dev/null >"$SCRATCH/out/run.out" \
    2>"$SCRATCH/out/run.err")
  RC=$?
  ERR=$(cat "$SCRATCH/out/run.err")
  OUT=$(cat "$SCRATCH/out/run.out" "$SCRATCH/out/run.err")
}

run_cli --list
check "--list exits 0" test "$RC" = 0
expect_count "one line per default drive" 5 "Drive #"
expect "system disk refused" "Drive #0: $SSDLAB_DIR/lab_drive0.img, 67.1 MB,"
expect "supported drive" "serial BKV2560000001, firmware KV2.10: would test"
expect "second kind refused" "Drive #2: $SSDLAB_DIR/lab_drive2.img, 67.1 MB, Corvane RZ412 Lab 64, serial CRZ4120000042, firmware RZ3.01: not tested: kind not supported"
expect "NVMe drive with its Identify text" "Drive #4: $SSDLAB_DIR/lab_drive4.img, 134.2 MB, Ashgrove NV Lab 128, serial ANV1280000003, firmware NV1.00: would test"
expect_not "no prompt" "Input Drive Number"

run_cli --drive 1 --aec-target 2 --dir "$D" --shared-dir "$S" --no-viewer
check "write test exits 0" test "$RC" = 0
expect_not "no prompt" "Input Drive Number"
expect_not "no final wait" "Press Any Key To Finish."
expect_not "no viewer" "Waiting Viewer"
expect "summary" "Summary: drive 1, rounds 2, erase count 0 -> 2, written 0.0005348 TB, bit errors 0, failed sectors 0, read "
check "log in --dir" test -s "$LOG"
check "dump files in --dir" test -s "$D/drive1_DumpFile1.dat" -a -s "$D/drive1_DumpFile2.dat"
check "copy in --shared-dir" cmp -s "$LOG" "$S/drive1_Brindlecove KV Lab 256.csv"
check "no shared folder at home" test ! -e "$HOME/My Dropbox"
check "nothing next to the executable" test "$(ls "$SCRATCH" | tr '\n' ' ')" = "GaugeLens_2_21.exe bench home out ssdtest-lab "
TS='^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}[+-][0-9]{2}:[0-9]{2} '
check "every trace note is time-stamped" test "$(grep -cvE "$TS" "$SSDTEST_TRACE")" = 0
check "no empty trace note" test "$(grep -cE "${TS}\$" "$SSDTEST_TRACE")" = 0
check "start note" grep -qE "${TS}test start: drive 1, round 0, erase count 0, serial BKV2560000001" "$SSDTEST_TRACE"
check "round notes" test "$(grep -cE "${TS}round end: drive 1, round [12], erase count [12]$" "$SSDTEST_TRACE")" = 2
check "end note" grep -qE "${TS}test end: drive 1, round 2, erase count 2, finished$" "$SSDTEST_TRACE"
check "summary note" grep -qE "${TS}Summary: drive 1, rounds 2" "$SSDTEST_TRACE"

run_cli --drive 2 --aec-target 1
check "wrong kind exits 4" test "$RC" = 4
check "refusal and the list's reason on stderr" test "$ERR" = $'Drive Not KVT\nDrive #2 not tested: kind not supported'
run_cli --drive 9 --read-only
check "unknown drive exits 4 with its reason" test "$RC:$ERR" = $'4:Drive Not Found\nNo drive #9 in the drive list'
run_cli --serial NOSUCH --read-only
check "unknown serial exits 4" test "$RC" = 4

# By serial, with the viewer: its captures also land in --dir.
run_cli --serial BKV2560000001 --read-only --dir "$D" --shared-dir "$S"
check "read-only by serial exits 0" test "$RC" = 0
expect "read-only test ran" "Start Read Only Test."
check "viewer captures in --dir" test -n "$(ls "$D" | grep '_data.txt$')"
check "nothing left in the working folder" test -z "$(ls "$WORK")"
check "nothing next to the executable" test "$(ls "$SCRATCH" | tr '\n' ' ')" = "GaugeLens_2_21.exe bench home out ssdtest-lab "

for bad in "--bogus" "--drive 1" "--drive 1 --serial X --read-only" "--list --drive 1" "--drive x --read-only"; do
  # shellcheck disable=SC2086
  run_cli $bad
  check "'$bad' exits 2" test "$RC" = 2
  check "'$bad': one-line error, then the usage" test "$(sed -n 2p <<<"$ERR" | cut -c1-9)" = "Endurance"
done
run_cli --drive 1 --read-only --dir "$SCRATCH/none"
check "missing --dir exits 2" test "$RC" = 2
for option in --dir --shared-dir; do
  run_cli --drive 1 --read-only "$option" "$LOG"
  check "$option naming a file exits 2" test "$RC:$(head -n 1 <<<"$ERR")" = "2:ssdtest-lab: $option: not a folder: $LOG"
done
run_cli --help
check "--help exits 0" test "$RC" = 0
expect "usage" "Usage: ssdtest-lab [OPTIONS]"
run_cli --version
check "--version exits 0" test "$RC" = 0
check "version and commit" grep -qE '^ssdtest-lab [0-9]+\.[0-9]+\.[0-9]+ \(git [0-9a-f]{7,}|unknown' <<<"$OUT"

# A shell loop over a list of drives: the list on standard input is never read
# as keys, so every drive is tested; SMART lost for a whole round ends a test
# with exit code 1.
LOOP="$SCRATCH/out/loop"
mkdir -p "$LOOP/D"
small() { printf '{"number": %s, "kind": "kvt", "size_mib": 8, "model": "Loop %s", "serial": "LOOP%s", "firmware": "L1"%s}' "$1" "$1" "$1" "${2:-}"; }
printf '{ "drives": [ %s, %s, %s ] }\n' "$(small 1)" "$(small 3)" \
  "$(small 5 ', "faults": {"smart_fails_after_mib": 4}')" >"$LOOP/ssdlab.json"
printf '1\n3\n5\n' | (cd "$WORK" && while read -r d; do
  SSDLAB_DIR="$LOOP" "$SCRATCH/ssdtest-lab" --drive "$d" --aec-target 10 --dir "$LOOP/D" \
    --shared-dir "$S" --no-viewer >"$LOOP/run$d.out" 2>&1
  echo "drive $d: exit $?"
done) >"$LOOP/loop.out"
check "both drives tested to their end" test "$(head -n 2 "$LOOP/loop.out")" = $'drive 1: exit 0\ndrive 3: exit 0'
check "each drive has its log" test -s "$LOOP/D/drive1_Loop 1.csv" -a -s "$LOOP/D/drive3_Loop 3.csv"
check "SMART lost exits 1" test "$(sed -n 3p "$LOOP/loop.out")" = "drive 5: exit 1"
check "SMART lost is said" grep -qF "SMART Lost: drive 5" "$LOOP/run5.out"

# SIGTERM during a round: exit 3 with the end-of-round files written.
rm -f "$D"/drive1_DumpFile*.dat
(cd "$WORK" && exec "$SCRATCH/ssdtest-lab" --drive 1 --aec-target 1000 --dir "$D" --shared-dir "$S" \
  --no-viewer </dev/null >"$SCRATCH/out/run.out" 2>&1) &
program=$!
until grep -qF "Start Normal Test." "$SCRATCH/out/run.out" 2>/dev/null || ! kill -0 $program; do
  sleep 0.1
done
sleep 0.5
kill -TERM $program
wait $program
check "SIGTERM exits 3" test "$?" = 3
check "dump files written" test -s "$D/drive1_DumpFile1.dat"

finish
