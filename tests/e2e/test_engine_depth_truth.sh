# kill -9 at random moments of a normal test with 16 transfers in flight: a
# later read-only test (also at depth 16) of a drive without bit errors
# reports none, and the log's cumulative error counters stay 0. The moments
# come from a seed that is printed (SEED=<n> repeats them).
source "$(dirname "$0")/truth_lib.sh" "$@"
write_bench "$(kvt_drive 1 64 ', "queue_depth": 16')"

run_lab '1\nN\n0\n'
verify_clean "a whole round"

for n in $(seq "${KILLS:-12}"); do
  start_test
  moment="$((RANDOM % 3)).$((RANDOM % 100))"
  sleep "$moment"
  kill_test
  verify_clean "kill -9 #$n after ${moment} s"
done

finish
