# kill -9 at random moments of a normal test with 16 transfers in flight: a
# later read-only test (also at depth 16) of a drive without bit errors
# reports none, and the log's cumulative error counters stay 0. The moments
# come from a seed that is printed (SEED=<n> repeats them).
source "$(dirname "$0")/engine_lib.sh" "$@"
SEED=${SEED:-$(date +%s)}
RANDOM=$SEED
echo "seed $SEED"
mkdir -p "$HOME/My Dropbox/Public"
LOG="$SCRATCH/drive1_Engine Lab.csv"
write_bench "$(kvt_drive 1 64 ', "queue_depth": 16')"
trap '[ -n "${PROGRAM:-}" ] && kill -9 $PROGRAM 2>/dev/null
tmux -L "$SSDTEST_VIEWER_TMUX_SOCKET" kill-server 2>/dev/null
[ $FAILURES -eq 0 ] && rm -rf "$SCRATCH"' EXIT

# verify_clean WHAT: a read-only test finds no bit error and counts none.
verify_clean() {
  run_lab '1\nY'
  expect "$1: read-only test ran" "Start Read Only Test."
  expect_count "$1: no false bit errors" 0 "Verify : "
  check "$1: counters stay 0" [ -z "$(tail -n +3 "$LOG" | grep $'\r$' | tr -d '\r' |
    awk -F, '$30 != "0" || $31 != "0"')" ]
}

run_lab '1\nN\n0\n'
verify_clean "a whole round"

for n in $(seq "${KILLS:-12}"); do
  rm -f "$SCRATCH/answers"
  mkfifo "$SCRATCH/answers"
  (cd "$SCRATCH" && exec ./ssdtest-lab <"$SCRATCH/answers" >"$SCRATCH/run.out" 2>&1) &
  PROGRAM=$!
  printf '1\nN\n1000\n' >"$SCRATCH/answers"
  moment="$((RANDOM % 3)).$((RANDOM % 100))"
  sleep "$moment"
  kill -9 $PROGRAM
  wait $PROGRAM 2>/dev/null
  tmux -L "$SSDTEST_VIEWER_TMUX_SOCKET" kill-server 2>/dev/null
  verify_clean "kill -9 #$n after ${moment} s"
done

finish
