#!/usr/bin/env bash
# A write the kernel fails: a lab drive over a loop device whose backing file
# lies on a tmpfs too small for it. After "GetQueuedCompletionStatus Failed1"
# comes the reason line with the failed write's offset and the kernel's text,
# and the summary and the status file count the writes that completed first.
# Skipped without root or loop support.
source "$(dirname "$0")/lib.sh" "$@"

if [ "$(id -u)" != 0 ]; then
  skip "mounting a tmpfs and attaching a loop device need root"
fi
make_scratch engine_kernel_io_error
FULL="$SCRATCH/full"
mkdir -p "$FULL"
mount -t tmpfs -o size=8M tmpfs "$FULL" || skip "cannot mount a tmpfs"
LOOP=""
cleanup() {
  local rc=$?
  [ -n "$LOOP" ] && losetup -d "$LOOP" 2>/dev/null
  umount "$FULL" 2>/dev/null
  [ $rc -eq 0 ] && rm -rf "$SCRATCH"
}
trap cleanup EXIT
truncate -s 32M "$FULL/disk.img"
LOOP=$(losetup --find --show "$FULL/disk.img" 2>/dev/null)
case "$LOOP" in
  /dev/loop*) ;;
  *) LOOP=""; skip "no loop device support" ;;
esac

write_bench '{"number": 1, "kind": "kvt", "size_mib": 32, "model": "Full Backing", "serial": "FULL1", "firmware": "F1", "device": "'"$LOOP"'"}'
OUT=$(cd "$SCRATCH" && timeout 120 ./ssdtest-lab --drive 1 --aec-target 1 \
  --no-viewer </dev/null 2>&1)
RC=$?
expect "the transfer failure" "GetQueuedCompletionStatus Failed1"
REASON=$(printf '%s\n' "$OUT" | grep -A1 -F "GetQueuedCompletionStatus Failed1" | tail -1)
check "reason line: write, offset and the kernel's text (got '$REASON')" \
  grep -qE '^Write at [0-9]+ MiB: (No space left on device|Input/output error)$' <<<"$REASON"
check "a failed test exits 1 (got $RC)" test "$RC" = 1
check "the status file counts the completed writes" \
  grep -qE '"bytes_written": [1-9]' "$SCRATCH"/drive1_*.status.json
expect_not "the summary does not say nothing was written" "written 0 TB"

finish
