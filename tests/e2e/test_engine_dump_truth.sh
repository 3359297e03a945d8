# Whatever ends a normal test (kill -9 at any moment, SIGTERM, Ctrl+C with
# piped input, a key between rounds, an I/O failure at a round's first block),
# a later read-only test of a drive without bit errors reports none, and the
# log's cumulative error counters stay 0.
source "$(dirname "$0")/engine_lib.sh" "$@"
mkdir -p "$HOME/My Dropbox/Public"
# The kill moments come from a seed that is printed (SEED=<n> repeats them).
SEED=${SEED:-$(date +%s)}
RANDOM=$SEED
echo "seed $SEED"
LOG="$SCRATCH/drive1_Engine Lab.csv"
write_bench "$(kvt_drive 1 16)"

# start_test: a normal test in the background with piped answers; its output
# in $SCRATCH/run.out, its process id in $PROGRAM.
start_test() {
  rm -f "$SCRATCH/answers"
  mkfifo "$SCRATCH/answers"
  (cd "$SCRATCH" && exec ./ssdtest-lab <"$SCRATCH/answers" >"$SCRATCH/run.out" 2>&1) &
  PROGRAM=$!
  printf '1\nN\n1000\n' >"$SCRATCH/answers"
}
trap '[ -n "${PROGRAM:-}" ] && kill -9 $PROGRAM 2>/dev/null
tmux -L "$SSDTEST_VIEWER_TMUX_SOCKET" kill-server 2>/dev/null
[ $FAILURES -eq 0 ] && rm -rf "$SCRATCH"' EXIT

# verify_clean WHAT: a read-only test finds no bit error and counts none.
verify_clean() {
  run_lab '1\nY'
  expect "$1: read-only test ran" "Start Read Only Test."
  expect_count "$1: no false bit errors" 0 "Verify : "
  # Every complete data line carries 0,0 in its two counter columns.
  check "$1: counters stay 0" [ -z "$(tail -n +3 "$LOG" | grep $'\r$' | tr -d '\r' |
    awk -F, '$30 != "0" || $31 != "0"')" ]
}

run_lab '1\nN\n0\n'
verify_clean "completed test"

for n in $(seq "${KILLS:-20}"); do
  start_test
  sleep "$((RANDOM % 3)).$((RANDOM % 10))"
  kill -9 $PROGRAM
  wait $PROGRAM 2>/dev/null
  tmux -L "$SSDTEST_VIEWER_TMUX_SOCKET" kill-server 2>/dev/null
  verify_clean "kill -9 #$n"
done

for signal in TERM INT; do
  start_test
  until grep -qF "Round Finished." "$SCRATCH/run.out" || ! kill -0 $PROGRAM; do sleep 0.1; done
  sleep "0.$((RANDOM % 10))"
  kill -$signal $PROGRAM
  wait $PROGRAM
  RC=$?
  OUT=$(cat "$SCRATCH/run.out")
  expect "SIG$signal abandons the test" "Stop Requested: SIG$signal"
  expect "SIG$signal: the test ends normally" "Press Any Key To Finish."
  check "SIG$signal: exit code 0" [ $RC -eq 0 ]
  verify_clean "SIG$signal"
done

# A key pressed while the first round's viewer capture runs: the second round
# writes nothing.
run_with_key '1\nN\n1000\n' "RBER: " q
expect "key between rounds" "Interrupted"
verify_clean "key between rounds"

# An I/O failure at the first block of a round.
write_bench "$(kvt_drive 1 16 ', "faults": {"io_error_at_mib": 0}')"
run_lab '1\nN\n1000\n'
expect "the first block fails" "GetQueuedCompletionStatus Failed1"
write_bench "$(kvt_drive 1 16)"
verify_clean "I/O failure"

finish
