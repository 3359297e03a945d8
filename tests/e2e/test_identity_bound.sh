#!/usr/bin/env bash
# A test is bound to its drive: another drive re-pointed under the number is
# refused for a read-only or continued test, a second test on a drive under
# test is refused, and full IDENTIFY texts survive into the menu, the list,
# the log name and --serial.
source "$(dirname "$0")/lib.sh" "$@"

make_scratch identity_bound
export SSDLAB_DIR="$SCRATCH"
MODEL="PROBE BLANK DISK WITH A FORTY CHAR MODEL"
LOG="$SCRATCH/drive1_$MODEL.csv"
drive() {  # drive IMAGE SERIAL [EXTRA]: drive 1 over IMAGE with SERIAL
  printf '{ "number": 1, "kind": "kvt", "size_mib": 8, "model": "%s", "serial": "%s", "firmware": "2.0", "image": "%s"%s }' \
    "$MODEL" "$2" "$1" "${3:-}"
}
run_cli() {  # run_cli ARGS...: output in $OUT, exit code in $RC
  OUT=$(cd "$SCRATCH" && timeout 600 ./ssdtest-lab "$@" </dev/null 2>&1)
  RC=$?
}

write_bench "$(drive a.img 'PRB BLANK 0005 FULLW')"
run_lab '\n'
expect "menu keeps the full model and serial" "Drive #1 Name: $MODEL  Serial: PRB BLANK 0005 FULLW"
run_cli --list
expect "list keeps the full model and serial" "$MODEL, serial PRB BLANK 0005 FULLW, firmware"
run_cli --serial 'PRB BLANK 0005 FULLW' --aec-target 1 --no-viewer
check "a test by the whole serial exits 0" test "$RC" = 0
check "the log is named by the full model" test -s "$LOG"

# Another drive of the same model under the same number.
cp "$LOG" "$SCRATCH/before.csv"
write_bench "$(drive b.img 'OTHER SERIAL 0002')"
for mode in "--read-only" "--aec-target 2"; do
  run_cli --drive 1 $mode --no-viewer
  check "$mode on another drive exits 4" test "$RC" = 4
  expect "$mode names both serials" "has serial 'OTHER SERIAL 0002' but its files"
  expect "$mode says what to do" "move those files away"
  expect_not "$mode reads nothing" "Start "
done
check "the log is unchanged" cmp -s "$LOG" "$SCRATCH/before.csv"

# The original drive back under its number tests normally.
write_bench "$(drive a.img 'PRB BLANK 0005 FULLW')"
run_cli --drive 1 --read-only --no-viewer
check "read-only on the original drive exits 0" test "$RC" = 0
expect "nothing rejected" "Start Read Only Test."
expect_not "no bit errors" "Verify : "

# A second test on a drive under test: refused at once, its log untouched.
write_bench "$(drive a.img 'PRB BLANK 0005 FULLW' ', "faults": {"stall_at_mib": [3]}')"
(cd "$SCRATCH" && exec ./ssdtest-lab --drive 1 --aec-target 1000 --no-viewer </dev/null \
  >"$SCRATCH/first.out" 2>&1) &
first=$!
until grep -qF "Start Normal Test." "$SCRATCH/first.out" 2>/dev/null || ! kill -0 $first; do
  sleep 0.1
done
cp "$LOG" "$SCRATCH/before.csv"
run_cli --drive 1 --aec-target 1000 --no-viewer
check "the second test exits 4" test "$RC" = 4
expect "the other process is named" "is under test by process $first"
kill -TERM $first
wait $first
write_bench "$(drive a.img 'PRB BLANK 0005 FULLW')"
run_cli --drive 1 --read-only --no-viewer
check "after the first test ends the drive is free" test "$RC" = 0
finish
