#!/usr/bin/env bash
# Measures ssdtest against fio at several queue depths inside a virtual
# machine, on a real kernel's NVMe driver: QEMU without KVM boots a Debian
# kernel (from its package, not installed) with a busybox initramfs holding
# the stripped ssdtest and fio with their libraries, and an emulated NVMe
# controller whose namespace is a file in /dev/shm (tests/vm/build_vm.sh
# builds the machine). bench/vm_depth_init.sh runs in it: RUNS times, for
# every depth (fio and ssdtest taking turns at going first), fio writes and
# then reads the whole namespace (io_uring if the kernel allows it, else
# libaio; the output says which; direct, 1 MiB, --iodepth N) and ssdtest runs
# one round with --queue-depth N (timed from "Start Normal Test." to "RBER:").
# Prints, per depth, the runs that finished and the medians over them of fio's
# write + read time, the round's time and each run's own ratio, the load
# before and after (uptime) and the guest kernel's NVMe messages; exits 1
# after the table when any run failed.
# The processor is emulated: absolute figures say little, ratios more.
#
# Usage: bench/depth_in_vm.sh [build folder] (default: build; needs its ssdtest)
# Environment: SIZE_MIB (default 512), RUNS (default 5), DEPTHS (default "1 4 16 32"),
# ROUND_LIMIT (seconds after which a round is killed or a fio pass taken as
# stalled; default 60 + SIZE_MIB / 4), VM_LIMIT (seconds after which the machine
# is stopped; default 900), KERNEL_ARGS (the guest kernel's arguments beyond the
# console's; default "loglevel=5 nvme_core.io_timeout=5"), VM_CPU (QEMU's -cpu;
# default max), QEMU_EXTRA (more QEMU arguments, e.g. "-trace events=FILE -D LOG").
# Needs: qemu-system-x86_64, busybox (static), fio, apt-get (the kernel package).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
size_mib=${SIZE_MIB:-512}
runs=${RUNS:-5}
depths=${DEPTHS:-1 4 16 32}
# A round that hangs is killed: far longer than one takes under emulation.
round_limit=${ROUND_LIMIT:-$((60 + size_mib / 4))}
vm_limit=${VM_LIMIT:-900}
# The driver's warnings reach the console, and a transfer the controller does
# not answer is timed out after 5 s (not 30), before the round's own 10 s limit,
# so a failed round comes with the kernel's account of it.
VM_KERNEL_ARGS=${KERNEL_ARGS:-loglevel=5 nvme_core.io_timeout=5}
# The emulated processor: "max" offers what QEMU's emulation implements (SSE4.2,
# POPCNT, AVX2 in 7.2) where the default model (qemu64) stops at SSE3, so the
# C library's string functions (the round's compare, copy and clear) take their
# vector paths for ssdtest and fio alike. The bit counting's own fast paths do
# not matter here: it runs only on sectors that differ.
cpu=${VM_CPU:-max}

fail() {
    echo "depth_in_vm: $*" >&2
    exit 1
}
command -v qemu-system-x86_64 >/dev/null || fail "qemu-system-x86_64 is not installed"
command -v busybox >/dev/null && busybox --list >/dev/null 2>&1 || fail "busybox (static) is not installed"
command -v fio >/dev/null || fail "fio is not installed"
[ -x "$build/ssdtest" ] || fail "no $build/ssdtest (build it first)"

VM="$build/vm-depth"
image=$(mktemp /dev/shm/ssdtest-vm-depth.XXXXXX)
tail_pid=""
cleanup() {
    if [ -n "${VM_PID:-}" ]; then kill "$VM_PID" 2>/dev/null || true; fi
    if [ -n "$tail_pid" ]; then kill "$tail_pid" 2>/dev/null || true; fi
    rm -f "$image"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# One run at a time: the machine's folder is the same for every run.
exec 9>"$build/vm-depth.lock"
flock -n 9 || fail "another depth_in_vm.sh run is using $VM"
rm -rf "$VM"
mkdir -p "$VM"
source "$repo/tests/vm/build_vm.sh"
vm_kernel "$build/vm-kernel" || fail "$VM_ERROR"
vm_modules nvme
vm_copy_program "$build/ssdtest" ssdtest || fail "$VM_ERROR"
vm_copy_program "$(command -v fio)" fio || fail "$VM_ERROR"
printf 'RUNS=%d\nDEPTHS="%s"\nROUND_LIMIT=%d\n' "$runs" "$depths" "$round_limit" >"$VM/root/bench.env"
vm_initramfs "$repo/bench/vm_depth_init.sh" || fail "$VM_ERROR"
truncate -s "${size_mib}M" "$image"

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), kernel $(uname -r)"
echo "virtual machine: QEMU $(qemu-system-x86_64 --version | sed -n '1s/.*version \([^ ]*\).*/\1/p') without KVM, 1 processor, 1024 MiB,"
echo "  kernel $(basename "$VM_KERNEL"), NVMe namespace of $size_mib MiB over $image"
echo "  processor model $cpu, kernel arguments: $VM_KERNEL_ARGS"
echo "$runs alternated runs at depths $depths"
echo "load before: $(uptime)"
start=$SECONDS
: >"$VM/console.log"
tail -n +1 -F "$VM/console.log" 2>/dev/null > >(grep --line-buffered '^== ') &
tail_pid=$!
# A transfer the emulated controller never answers can leave a process that
# cannot exit; the machine stops itself when it sees the controller stall
# (bench/vm_depth_init.sh), else it is stopped after VM_LIMIT, and the finished
# runs still make the table.
finished=1
vm_boot "$vm_limit" 1024 -cpu "$cpu" -drive "file=$image,if=none,id=nv,format=raw" \
    -device nvme,serial=DEPTHNVME001,drive=nv ${QEMU_EXTRA:-} || finished=0
sleep 1
kill "$tail_pid" 2>/dev/null || true
tail_pid=""
echo "load after: $(uptime)"
echo "virtual machine ran $((SECONDS - start)) s"

out=$(tr -d '\r' <"$VM/console.log")
grep -q '^== done' <<<"$out" || finished=0
results=$(sed -n 's/^== result //p' <<<"$out")
failed=$(grep -c '^== failed' <<<"$out" || true)
stalled=$(sed -n 's/^== stalled: //p' <<<"$out")

median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# stat DEPTH EXPRESSION: median over the runs of an awk expression of a row
# (depth, fio write s, fio read s, round s).
stat() { awk "\$1 == $1 { print $2 }" <<<"$results" | median; }
echo
echo "medians of $runs runs, fio engine $(sed -n 's/^== fio engine //p' <<<"$out")"
echo "| depth | runs | fio write + read (s) | ssdtest round (s) | ratio |"
echo "|---|---|---|---|---|"
for d in $depths; do
    printf '| %d | %d | %.3f | %.3f | %.2f |\n' "$d" "$(awk -v d="$d" '$1 == d' <<<"$results" | wc -l)" \
        "$(stat "$d" '$2 + $3')" "$(stat "$d" '$4')" "$(stat "$d" '$4 / ($2 + $3)')"
done
sed -n '/^== kernel nvme messages/,/^== done/p' <<<"$out" | sed '1d;$d' | sed 's/^/kernel: /'
[ -z "$stalled" ] || fail "stopped early: $stalled (the table holds the runs before; see $VM/console.log)"
[ "$finished" = 1 ] || fail "the virtual machine did not finish its runs within $vm_limit s: the table holds the runs before (see $VM/console.log)"
if [ "$failed" -gt 0 ]; then
    grep '^== failed' <<<"$out" >&2
    fail "$failed of the runs failed, left out of the medians (their output: $VM/console.log)"
fi
