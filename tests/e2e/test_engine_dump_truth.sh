# Whatever ends a normal test (kill -9 at any moment, SIGTERM, Ctrl+C with
# piped input, a key between rounds, an I/O failure at a round's first block),
# a later read-only test of a drive without bit errors reports none, and the
# log's cumulative error counters stay 0.
source "$(dirname "$0")/truth_lib.sh" "$@"
write_bench "$(kvt_drive 1 16)"

run_lab '1\nN\n0\n'
verify_clean "completed test"

for n in $(seq "${KILLS:-20}"); do
  start_test
  sleep "$((RANDOM % 3)).$((RANDOM % 10))"
  kill_test
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
