#!/bin/sh
# The virtual machine's init for bench/depth_in_vm.sh: loads the NVMe driver,
# then RUNS times, for every depth in DEPTHS (RUNS, DEPTHS and ROUND_LIMIT from /bench.env), lets fio write
# and read the whole namespace and ssdtest run one round at that depth, fio
# and ssdtest taking turns at going first. Prints one line per pair:
#   == result DEPTH FIO_WRITE_S FIO_READ_S SSDTEST_ROUND_S
# and "== failed ..." with the tool's output when a round did not finish, then
# the kernel's messages about the NVMe drive; "== stalled: ..." when the
# controller stopped answering, after which it stops at once.
/bin/busybox --install -s /bin
export PATH=/bin HOME=/tmp
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
. /bench.env
# Module options from the kernel command line (name.option=value), as modprobe
# would pass them: insmod alone ignores them.
for module in $(cat /modules/order); do
  name=$(echo "${module%.ko}" | tr - _)
  options=$(tr ' ' '\n' </proc/cmdline | sed -n "s/^$name\.//p")
  insmod "/modules/$module" $options 2>/dev/null
done
for i in $(seq 50); do [ -b /dev/nvme0n1 ] && break; sleep 0.2; done
cd /tmp
echo "== kernel $(uname -r), NVMe timeout $(cat /sys/module/nvme_core/parameters/io_timeout) s"
echo "== processor $(sed -n 's/^model name[^:]*: //p' /proc/cpuinfo | head -1), with: $(grep -m1 '^flags' /proc/cpuinfo | tr ' ' '\n' | grep -x 'sse4_2\|popcnt\|avx2\|avx512f' | tr '\n' ' ')"
/ssdtest --list
NVME=$(/ssdtest --list | sed -n 's/^Drive #\([0-9]*\): \/dev\/nvme0n1,.*/\1/p')
[ -n "$NVME" ] || { echo "== failed: no NVMe drive listed"; poweroff -f; }

# io_uring where the kernel allows it, else libaio.
ENGINE=io_uring
/fio --name=probe --filename=/dev/nvme0n1 --ioengine=io_uring --direct=1 --bs=1M --size=1M \
  --rw=read --output-format=terse >/dev/null 2>&1 || ENGINE=libaio
echo "== fio engine $ENGINE"

# nvme_messages: the kernel's lines about the drive (timeouts, resets).
nvme_messages() {
  dmesg | grep -i 'nvme' | grep -v 'pci function\|default/read/poll\|bogus Namespace'
}

# stalled WHAT: the emulated controller stopped completing transfers, and
# neither the driver's aborts nor its controller resets bring it back: every
# later run would hang too, so the machine reports and stops at once. Written
# to the console (standard error) since callers capture standard output.
stalled() {
  { echo "== stalled: $1; the NVMe controller stopped answering"
    echo "== kernel nvme messages"; nvme_messages; echo "== done"; } >&2
  poweroff -f
}

# fio_pass RW DEPTH: one whole-namespace pass; prints fio's own seconds
# (terse v3: the read runtime in ms is field 9, the write runtime field 50).
# A pass still going after ROUND_LIMIT seconds means a stalled controller (a
# process waiting on it cannot be killed, so it is not waited for).
fio_pass() {
  /fio --name="depth-$1" --filename=/dev/nvme0n1 --ioengine=$ENGINE --direct=1 --bs=1M \
    --iodepth="$2" --rw="$1" --output-format=terse --terse-version=3 >/tmp/fio.out 2>&1 &
  fio=$!
  waited=0
  while kill -0 "$fio" 2>/dev/null; do
    [ "$waited" -ge "$ROUND_LIMIT" ] && stalled "fio $1 at depth $2 still running after $ROUND_LIMIT s"
    sleep 1
    waited=$((waited + 1))
  done
  wait "$fio" || return
  awk -F';' -v rw="$1" '{ printf "%.3f\n", (rw == "read" ? $9 : $50) / 1e3 }' /tmp/fio.out
}

# ssdtest_round DEPTH: one round in a fresh folder, killed after ROUND_LIMIT
# seconds, every output line stamped with the uptime (10 ms steps); prints the
# seconds from "Start Normal Test." to the first "RBER:", or nothing when the
# round did not finish (its output then ends with the trace and kernel log).
ssdtest_round() {
  dir=/tmp/round.$1
  rm -rf "$dir"
  mkdir -p "$dir"
  {
    cd "$dir" && SSDTEST_TRACE="$dir/trace.log" HOME="$dir" timeout -s KILL "$ROUND_LIMIT" \
      /ssdtest --drive "$NVME" --aec-target 1 --queue-depth "$1" --no-viewer --dir "$dir" </dev/null 2>&1
    echo "== exit $?"
  } | while IFS= read -r line; do
    read -r up _ </proc/uptime
    echo "$up $line"
  done >/tmp/round.out
  cd /tmp
  if ! grep -q ' RBER: ' /tmp/round.out; then
    { echo "== trace"; tail -20 "$dir/trace.log"; echo "== kernel log"; dmesg | tail -20; } >>/tmp/round.out 2>&1
  fi
  rm -rf "$dir"
  awk '/ Start Normal Test\.$/ { s = $1 } / RBER: / && !e { e = $1 }
       END { if (s != "" && e != "") printf "%.3f\n", e - s }' /tmp/round.out
}

# The namespace holds data, not zeros, before the first read.
fio_pass write 16 >/dev/null
run=1
while [ "$run" -le "$RUNS" ]; do
  for depth in $DEPTHS; do
    if [ $((run % 2)) = 1 ]; then
      fw=$(fio_pass write "$depth"); fr=$(fio_pass read "$depth"); st=$(ssdtest_round "$depth")
    else
      st=$(ssdtest_round "$depth"); fw=$(fio_pass write "$depth"); fr=$(fio_pass read "$depth")
    fi
    if [ -z "$st" ] || [ -z "$fw" ] || [ -z "$fr" ]; then
      echo "== failed run $run depth $depth: fio '$fw' '$fr', ssdtest round '$st'"
      cat /tmp/round.out
      nvme_messages | grep -q 'timeout' && stalled "run $run at depth $depth failed after NVMe timeouts"
    else
      echo "== result $depth $fw $fr $st"
    fi
  done
  run=$((run + 1))
done
# Transfers the driver had to time out or poll show here.
echo "== kernel nvme messages"
nvme_messages
echo "== done"
poweroff -f
