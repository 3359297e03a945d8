#!/usr/bin/env bash
# The disk guard on loop devices over a scratch image: a device holding a file
# system, swap, an LVM volume, a partition table (with or without partition
# nodes, a GPT known only by its backup header), one held open by another
# process, and a read-only one are refused with their reason line, through a
# lab drive's "device" and through the real executable; the device is left
# as it was and no log, capture or dump file appears. A blank device and one
# holding a previous run's pattern are tested to the end. Needs root.
source "$(dirname "$0")/lib.sh" "$@"

if [ "$(id -u)" != 0 ]; then
  skip "attaching a loop device needs root"
fi

make_scratch guard_loop_device
cp "$POSIX_EXE" "$SCRATCH/ssdtest"
IMAGE="$SCRATCH/disk.img"
LOOP=""
HOLDER=""
release() {
  if [ -n "$HOLDER" ]; then kill "$HOLDER" 2>/dev/null; wait "$HOLDER" 2>/dev/null; fi
  HOLDER=""
  if [ -n "$LOOP" ]; then losetup -d "$LOOP" 2>/dev/null; fi
  LOOP=""
}
trap 'rc=$?; release; [ $rc -eq 0 ] && rm -rf "$SCRATCH"' EXIT

# LVM looks at the test's device only, keeps no device list and activates nothing.
lvm_config() {
  printf 'devices { filter = [ "a|^%s$|", "r|.*|" ] use_devicesfile = 0 } ' "$1"
  printf 'activation { udev_sync = 0 udev_rules = 0 } global { event_activation = 0 }'
}

# attach [LOSETUP OPTIONS]: a loop device over the image (xfs needs 300 MiB).
attach() {
  LOOP=$(losetup --find --show "$@" "$IMAGE" 2>/dev/null)
  case "$LOOP" in
    /dev/loop*) ;;
    *) LOOP=""; skip "no loop device support" ;;
  esac
  write_bench "{\"number\": 1, \"kind\": \"kvt\", \"size_mib\": 8, \"device\": \"$LOOP\",
    \"model\": \"Guard Lab\", \"serial\": \"GRD1\", \"firmware\": \"G1\",
    \"rber_start\": 0, \"rber_rated\": 0, \"rber_max\": 0}"
}

# expect_refusal WHAT MESSAGE REASON: $OUT has MESSAGE, REASON on the next line,
# and the drive was never opened.
expect_refusal() {
  expect "$1: reason line" "$3"
  if ! grep -B1 -F -- "$3" <<<"$OUT" | head -n1 | grep -qF -- "$2"; then
    echo "FAIL: $1: the reason line does not follow \"$2\""
    FAILURES=$((FAILURES + 1))
  fi
  expect_not "$1: never opened" "Open OK"
  echo "$1: $(grep -B1 -F -- "$3" <<<"$OUT" | paste -sd '|')"
}

fresh_image() { rm -f "$IMAGE"; truncate -s 320M "$IMAGE"; }

# Files a run may leave: logs, dump files, captures (the lab's state and the
# trace are the bench's own).
written_files() { (cd "$SCRATCH" && ls | grep -vE '^(ssdlab\.json|lab_drive1\.state|trace\.log|disk\.img|ssdtest(-lab)?|GaugeLens_2_21\.exe|home)$'); }

# refused CASE MESSAGE REASON: both executables refuse the attached device
# with MESSAGE and REASON on the line after it, in both kinds of test;
# nothing changes.
refused() {
  local before after
  # Where udev runs, let it finish probing the change, so it holds nothing open.
  command -v udevadm >/dev/null && udevadm settle 2>/dev/null
  sync
  before=$(sha256sum <"$IMAGE")
  run_lab '1\nN\n1\n'
  expect_refusal "$1 (lab)" "$2" "$3"
  run_lab '1\nY\n'
  expect "$1: the read-only test is refused too" "$3"
  OUT=$(cd "$SCRATCH" && printf '0\nN\n1\n' | SSDTEST_DISKS="${LOOP#/dev/}" timeout 600 ./ssdtest 2>&1)
  expect_refusal "$1 (ssdtest)" "$2" "$3"
  sync
  after=$(sha256sum <"$IMAGE")
  check "$1: device unchanged" test "$before" = "$after"
  check "$1: no file written" test -z "$(written_files)"
  release
}

fresh_image
attach
mkfs.ext4 -q -F "$LOOP" >/dev/null
refused ext4 "CreateFile failed" "ext4 signature on $LOOP (wipe it first, e.g. wipefs -a $LOOP)"

fresh_image
attach
mkfs.xfs -q -f "$LOOP" >/dev/null
refused xfs "CreateFile failed" "xfs signature on $LOOP"

fresh_image
attach
mkswap "$LOOP" >/dev/null
refused swap "CreateFile failed" "swap signature on $LOOP"

fresh_image
attach
pvcreate -q --config "$(lvm_config "$LOOP")" "$LOOP" >/dev/null 2>&1
refused lvm "CreateFile failed" "LVM2_member signature on $LOOP"

fresh_image
echo 'start=2048, size=4096, type=83' | sfdisk -q "$IMAGE" >/dev/null 2>&1
attach
refused "mbr without partition nodes" "Drive contains partitions" "dos partition table on $LOOP"

attach --partscan
# Some kernels leave the scan to user space: add the nodes the table lists.
[ -e "/sys/block/${LOOP#/dev/}/${LOOP#/dev/}p1" ] || partx -a "$LOOP" 2>/dev/null
refused "mbr with partition nodes" "Drive contains partitions" "$LOOP has partitions ${LOOP#/dev/}p1"

# GPT whose start (protective MBR, primary header and entries) was wiped: only
# the backup header at the end is left.
fresh_image
sgdisk -o -n 1:2048:+1M "$IMAGE" >/dev/null
dd if=/dev/zero of="$IMAGE" bs=1M count=1 conv=notrunc status=none
attach
refused "gpt backup header only" "Drive contains partitions" "gpt partition table on $LOOP"

fresh_image
attach
sleep 600 <>"$LOOP" &
HOLDER=$!
refused "held open" "CreateFile failed" "$LOOP is open in process $HOLDER (sleep)"

attach --read-only
refused "read-only" "CreateFile failed" "$LOOP is read-only"

# Accepted: a blank device, then the same device holding that run's pattern.
for round in blank "previous pattern"; do
  attach
  run_lab '1\nN\n1\n'
  expect "$round: opened" "$LOOP Open OK"
  expect "$round: tested" "RBER: "
  expect_not "$round: not interrupted" "Interrupted"
  release
done
check "the pattern was written" test "$(head -c 1M "$IMAGE" | tr -d '\0' | wc -c)" -gt 0

finish
