#!/usr/bin/env bash
# A disk that stops answering (a loop device over a FUSE file whose reads
# block on command): the drive list and a test end within their deadline with
# "does not answer" and exit 1, and SIGTERM ends the tool while the disk
# hangs. Needs root, /dev/fuse and the hanging_disk_fuse helper.
source "$(dirname "$0")/lib.sh" "$@"

FUSE_HELPER="$BUILD_DIR/tests/hanging_disk_fuse"
[ "$(id -u)" = 0 ] || skip "attaching a loop device needs root"
[ -c /dev/fuse ] && [ -x "$FUSE_HELPER" ] || skip "no FUSE (libfuse3-dev and fuse3 needed)"

make_scratch probe_hung_disk
cp "$POSIX_EXE" "$SCRATCH/ssdtest"
MNT="$SCRATCH/mnt"
HANG="$SCRATCH/hang"
mkdir -p "$MNT"
LOOP=""
FUSE=""
release() {
  rm -f "$HANG"  # the blocked reads finish, so the loop device can go
  if [ -n "$LOOP" ]; then losetup -d "$LOOP" 2>/dev/null; fi
  if [ -n "$FUSE" ]; then
    umount "$MNT" 2>/dev/null || umount -l "$MNT" 2>/dev/null
    kill "$FUSE" 2>/dev/null
    wait "$FUSE" 2>/dev/null
  fi
}
trap 'rc=$?; release; [ $rc -eq 0 ] && rm -rf "$SCRATCH"' EXIT

"$FUSE_HELPER" 64 "$HANG" "$MNT" &
FUSE=$!
for _ in $(seq 50); do [ -e "$MNT/disk.img" ] && break; sleep 0.1; done
[ -e "$MNT/disk.img" ] || skip "the FUSE file system did not mount"
LOOP=$(losetup --find --show "$MNT/disk.img" 2>/dev/null)
case "$LOOP" in /dev/loop*) ;; *) LOOP=""; skip "no loop device over a FUSE file" ;; esac
export SSDTEST_DISKS="${LOOP#/dev/}" SSDTEST_PROBE_TIMEOUT_MS=2000
touch "$HANG"

# The probe a run left behind on the hung disk still holds the device open;
# letting the disk answer for a moment lets it finish before the next run.
unhang() {
  rm -f "$HANG"
  sleep 1
  touch "$HANG"
}

# run_timed SECONDS ARGS...: ssdtest with ARGS; output in $OUT, exit code in $RC.
run_timed() {
  local limit=$1
  shift
  OUT=$(cd "$SCRATCH" && timeout "$limit" ./ssdtest "$@" </dev/null 2>&1)
  RC=$?
}

run_timed 20 --list
check "--list on a hung disk exits 1 in time" test "$RC" = 1
expect "--list says why" "$LOOP does not answer: no answer within 2 s"
unhang
run_timed 20 --drive 0 --aec-target 1 --no-viewer
check "a test on a hung disk exits 1 in time" test "$RC" = 1
expect "the test says why" "$LOOP does not answer: no answer within 2 s"
expect_not "nothing was opened" "Open OK"

# SIGTERM while the probe waits on its full 30 s.
unset SSDTEST_PROBE_TIMEOUT_MS
for args in "--list" "--drive 0 --aec-target 1 --no-viewer"; do
  unhang
  (cd "$SCRATCH" && exec ./ssdtest $args </dev/null >"$SCRATCH/term.out" 2>&1) &
  program=$!
  sleep 1
  kill -TERM $program
  for _ in $(seq 50); do kill -0 $program 2>/dev/null || break; sleep 0.1; done
  check "SIGTERM ends $args on a hung disk" bash -c "! kill -0 $program 2>/dev/null"
  kill -KILL $program 2>/dev/null
  wait $program 2>/dev/null
done
finish
