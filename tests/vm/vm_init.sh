#!/bin/sh
# The virtual machine's init: loads the disk drivers, then lists the drives,
# reads the NVMe drive's health log with nvme-cli, tests it to erase count 1,
# reads the log again, and tries the SATA disk. Output goes to the console.
/bin/busybox --install -s /bin
export PATH=/bin HOME=/tmp SSDTEST_TRACE=/tmp/trace.log
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
for module in $(cat /modules/order); do insmod "/modules/$module" 2>/dev/null; done
for i in $(seq 50); do [ -b /dev/nvme0n1 ] && [ -b /dev/sda ] && break; sleep 0.2; done
cd /tmp
echo "== list"
/ssdtest --list
NVME=$(/ssdtest --list | sed -n 's/^Drive #\([0-9]*\): \/dev\/nvme0n1,.*/\1/p')
SATA=$(/ssdtest --list | sed -n 's/^Drive #\([0-9]*\): \/dev\/sda,.*/\1/p')
echo "== smart-log before"
/nvme smart-log /dev/nvme0
echo "== test drive $NVME"
/ssdtest --drive "$NVME" --aec-target 1 --dir /tmp --no-viewer
echo "== exit $?"
echo "== smart-log after"
/nvme smart-log /dev/nvme0
echo "== result log"
cat /tmp/drive"$NVME"_*.csv
echo "== sata drive $SATA"
/ssdtest --drive "$SATA" --aec-target 1 --dir /tmp --no-viewer
echo "== exit $?"
echo "== done"
poweroff -f
