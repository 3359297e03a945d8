# Shared helpers of the end-to-end scripts: a scratch program folder with the
# lab executable, its stand-in viewer and a bench of small drives.
# Usage: source lib.sh "$@"   (arguments: <ssdtest-lab> <ssdtest> <build dir>)
set -u
LAB_EXE=$1
POSIX_EXE=$2
BUILD_DIR=$3
FAILURES=0

# make_scratch NAME: a fresh program folder in $SCRATCH with the executables,
# removed when the script passes (kept for a look after a failure).
make_scratch() {
  SCRATCH="$BUILD_DIR/e2e-scratch/$1"
  rm -rf "$SCRATCH"
  mkdir -p "$SCRATCH/home"
  cp "$LAB_EXE" "$SCRATCH/ssdtest-lab"
  if [ -f "$BUILD_DIR/GaugeLens_2_21.exe" ]; then
    cp "$BUILD_DIR/GaugeLens_2_21.exe" "$SCRATCH/"
  fi
  export HOME="$SCRATCH/home"
  export SSDTEST_TRACE="$SCRATCH/trace.log"
  # Each script has its own viewer: tmux socket, lock and clipboard (beside
  # the program folder, which some checks want empty), so scripts running
  # side by side never wait on each other's viewer.
  export SSDTEST_VIEWER_TMUX_SOCKET="ssdtest-e2e-$1-$$" SSDTEST_VIEWER_DIR="$SCRATCH.viewer"
  rm -rf "$SSDTEST_VIEWER_DIR"
  mkdir -p "$SSDTEST_VIEWER_DIR"
  unset SSDLAB_DIR
  trap 'rc=$?; tmux -L "$SSDTEST_VIEWER_TMUX_SOCKET" kill-server 2>/dev/null; [ $rc -eq 0 ] && rm -rf "$SCRATCH" "$SSDTEST_VIEWER_DIR"' EXIT
}

# write_bench DRIVE...: writes ssdlab.json with the given JSON drive entries.
write_bench() {
  local IFS=,
  printf '{ "drives": [ %s ] }\n' "$*" >"$SCRATCH/ssdlab.json"
}

# run_lab INPUT: runs the lab executable in its folder with INPUT on stdin;
# output in $OUT, exit code in $RC.
run_lab() {
  OUT=$(cd "$SCRATCH" && printf "$1" | timeout 600 ./ssdtest-lab 2>&1)
  RC=$?
}

skip() {  # skip REASON: CTest reports the script as skipped, not passed
  echo "SKIP: $1"
  exit 77
}

expect() {  # expect DESCRIPTION TEXT: $OUT contains TEXT
  if ! grep -qF -- "$2" <<<"$OUT"; then
    echo "FAIL: $1: output lacks: $2"
    FAILURES=$((FAILURES + 1))
  fi
}

expect_not() {  # expect_not DESCRIPTION TEXT
  if grep -qF -- "$2" <<<"$OUT"; then
    echo "FAIL: $1: output has: $2"
    FAILURES=$((FAILURES + 1))
  fi
}

expect_count() {  # expect_count DESCRIPTION N TEXT
  local n
  n=$(grep -cF -- "$3" <<<"$OUT")
  if [ "$n" != "$2" ]; then
    echo "FAIL: $1: '$3' seen $n times, expected $2"
    FAILURES=$((FAILURES + 1))
  fi
}

check() {  # check DESCRIPTION COMMAND...: the command succeeds
  local what=$1
  shift
  if ! "$@"; then
    echo "FAIL: $what"
    FAILURES=$((FAILURES + 1))
  fi
}

finish() {
  if [ "$FAILURES" -ne 0 ]; then
    echo "---- last output ----"
    echo "$OUT"
    echo "$FAILURES check(s) failed"
    exit 1
  fi
  echo "all checks passed"
  exit 0
}
