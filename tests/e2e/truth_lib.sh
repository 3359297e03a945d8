# Shared steps of the scripts that end a normal test by force and then check
# the drive with a read-only test: seeded random moments (SEED=<n> repeats
# them), a background test whose process is killed on exit, and the check.
# Usage: source truth_lib.sh "$@"   (after the arguments of engine_lib.sh)
source "$(dirname "${BASH_SOURCE[0]}")/engine_lib.sh" "$@"
SEED=${SEED:-$(date +%s)}
RANDOM=$SEED
echo "seed $SEED"
mkdir -p "$HOME/My Dropbox/Public"
LOG="$SCRATCH/drive1_Engine Lab.csv"
trap '[ -n "${PROGRAM:-}" ] && kill -9 $PROGRAM 2>/dev/null
tmux -L "$SSDTEST_VIEWER_TMUX_SOCKET" kill-server 2>/dev/null
[ $FAILURES -eq 0 ] && rm -rf "$SCRATCH" "$SSDTEST_VIEWER_DIR"' EXIT

# start_test: a normal test in the background with piped answers; its output
# in $SCRATCH/run.out, its process id in $PROGRAM.
start_test() {
  rm -f "$SCRATCH/answers"
  mkfifo "$SCRATCH/answers"
  (cd "$SCRATCH" && exec ./ssdtest-lab <"$SCRATCH/answers" >"$SCRATCH/run.out" 2>&1) &
  PROGRAM=$!
  printf '1\nN\n1000\n' >"$SCRATCH/answers"
}

# kill_test: kill -9 of the background test and of its viewer console, as a
# power loss would end both.
kill_test() {
  kill -9 $PROGRAM
  wait $PROGRAM 2>/dev/null
  tmux -L "$SSDTEST_VIEWER_TMUX_SOCKET" kill-server 2>/dev/null
}

# verify_clean WHAT: a read-only test finds no bit error and counts none.
verify_clean() {
  run_lab '1\nY'
  expect "$1: read-only test ran" "Start Read Only Test."
  expect_count "$1: no false bit errors" 0 "Verify : "
  # Every complete data line carries 0,0 in its two counter columns.
  check "$1: counters stay 0" [ -z "$(tail -n +3 "$LOG" | grep $'\r$' | tr -d '\r' |
    awk -F, '$30 != "0" || $31 != "0"')" ]
}
