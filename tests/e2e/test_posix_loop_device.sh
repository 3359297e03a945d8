#!/usr/bin/env bash
# The real Linux executable on a loop device over a scratch image: the menu
# lists it under the number SSDTEST_DISKS pins, and a drive without ATA SMART
# is refused with a clear message, in the dialogue and on the command line. Skipped without root or loop support.
source "$(dirname "$0")/lib.sh" "$@"

if [ "$(id -u)" != 0 ]; then
  skip "attaching a loop device needs root"
fi

make_scratch posix_loop_device
cp "$POSIX_EXE" "$SCRATCH/ssdtest"
truncate -s 32M "$SCRATCH/drive.img"
LOOP=$(losetup --find --show "$SCRATCH/drive.img" 2>/dev/null)
case "$LOOP" in
  /dev/loop*) ;;
  *)
    skip "no loop device support"
    ;;
esac
trap 'losetup -d "$LOOP" 2>/dev/null' EXIT
LOOP_NAME=${LOOP#/dev/}

# Only the test's own loop device is listed, so no disk of the machine is
# ever probed or opened.
OUT=$(cd "$SCRATCH" && printf '0\nN\n1\n' | SSDTEST_DISKS="$LOOP_NAME" timeout 600 ./ssdtest 2>&1)
RC=$?

expect "menu lists the loop device as drive 0" "Drive #0 Name: "
expect_count "only the pinned device is listed" 1 "Drive #"
expect "drive prompt" "Input Drive Number: "
expect "no SMART: the drive check refuses it" "Drive Not Found"
expect_not "never opened for the test" "Open OK"
expect "final wait" "Press Any Key To Finish."
check "exit code 0 after the refusal" test "$RC" = 0
check "nothing written to the image" test "$(tr -d '\0' <"$SCRATCH/drive.img" | wc -c)" = 0

# The command line: the device node and size in the list, and a refusal's exit code.
OUT=$(cd "$SCRATCH" && SSDTEST_DISKS="$LOOP_NAME" timeout 600 ./ssdtest --list </dev/null 2>&1)
check "--list exits 0" test "$?" = 0
expect "list line with node and size" "Drive #0: $LOOP, 33.6 MB, "
expect "list reason" ": not tested: SMART not answering"
OUT=$(cd "$SCRATCH" && SSDTEST_DISKS="$LOOP_NAME" timeout 600 ./ssdtest --drive 0 --aec-target 1 \
  --no-viewer </dev/null 2>&1)
check "refused drive exits 4" test "$?" = 4
check "still nothing written" test "$(tr -d '\0' <"$SCRATCH/drive.img" | wc -c)" = 0

# A pinned name that is no disk leaves the menu empty rather than shifting
# another disk into its number.
OUT=$(cd "$SCRATCH" && printf '0\nY\n' | SSDTEST_DISKS="ssdtest-no-such-disk" timeout 600 ./ssdtest 2>&1)
RC=$?
expect_not "no disk listed" "Drive #"
expect "refused" "Drive Not Found"
check "exit code 0" test "$RC" = 0

finish
