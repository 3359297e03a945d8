#!/usr/bin/env bash
# The Linux executable on a real kernel's NVMe and AHCI drivers: a Debian
# kernel (taken from its package, not installed) boots in QEMU without KVM
# with a busybox initramfs holding ssdtest and nvme-cli, an emulated NVMe
# controller with a 64 MiB namespace and a 64 MiB AHCI disk. The NVMe drive is
# listed and tested to erase count 1, its data units written grow as both the
# tool's log and nvme-cli read them; the SATA disk is refused and unchanged.
source "$(dirname "$0")/lib.sh" "$@"

command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed"
command -v busybox >/dev/null && busybox --list >/dev/null 2>&1 || skip "busybox-static is not installed"
command -v nvme >/dev/null || skip "nvme-cli is not installed"
make_scratch vm_nvme
VM="$SCRATCH/vm"
source "$(dirname "$0")/../vm/build_vm.sh"
vm_kernel "$BUILD_DIR/vm-kernel" || skip "$VM_ERROR"
vm_modules nvme ahci sd_mod
vm_copy_program "$POSIX_EXE" ssdtest || skip "$VM_ERROR"
vm_copy_program "$(command -v nvme)" nvme || skip "$VM_ERROR"
vm_initramfs "$(dirname "$0")/../vm/vm_init.sh" || skip "$VM_ERROR"

truncate -s 64M "$VM/nvme.img"
head -c 64M /dev/urandom >"$VM/sata.img"
SATA_HASH=$(sha256sum <"$VM/sata.img")
vm_boot 600 512 \
  -drive "file=$VM/nvme.img,if=none,id=nv,format=raw" -device nvme,serial=PRBNVME0006,drive=nv \
  -drive "file=$VM/sata.img,if=none,id=sa,format=raw" -device ide-hd,drive=sa,bus=ide.0 ||
  { echo "FAIL: $VM_ERROR"; FAILURES=$((FAILURES + 1)); }
OUT=$(tr -d '\r' <"$VM/console.log")

expect "the machine ran to its end" "== done"
expect "NVMe drive listed with its Identify texts" ": /dev/nvme0n1, 67.1 MB, QEMU NVMe Ctrl, serial PRBNVME0006, firmware "
expect "NVMe drive would be tested" "firmware $(sed -n 's/.*QEMU NVMe Ctrl, serial PRBNVME0006, firmware \([^:]*\): would test/\1/p' <<<"$OUT" | head -1): would test"
expect "SATA disk listed" ": /dev/sda, 67.1 MB, QEMU HARDDISK"
expect "erase count source" "Erase count source: drive writes (host writes / capacity)"
expect "a round finished" "RBER: "
expect "the test ran to its target" "erase count 0 -> 1"
check "the test exited 0" grep -q "== exit 0" <<<"$OUT"
# Data units written: the first and the last line of the tool's log, and
# nvme-cli before and after.
units=$(sed -n '/== result log/,/== sata/p' <<<"$OUT" | awk -F, 'NR > 3 && NF > 10 { print $10 }')
first=$(head -1 <<<"$units")
last=$(tail -1 <<<"$units")
check "the tool's log shows data units written growing" test "${last:-0}" -gt "${first:-0}"
# smart_value SECTION FIELD: a number nvme-cli printed for FIELD in SECTION.
smart_value() {
  sed -n "/== smart-log $1/,/== [tr]/p" <<<"$OUT" | sed -n "s/^$2[^0-9]*\([0-9,]*\).*/\1/p" | tr -d ,
}
before=$(smart_value before "Data Units Written")
after=$(smart_value after "Data Units Written")
check "nvme-cli shows data units written growing" test "${after:-0}" -gt "${before:-0}"
check "nvme-cli and the tool agree on data units written" test "${after:-x}" = "${last:-y}"
used=$(sed -n '/== result log/,/== sata/p' <<<"$OUT" | awk -F, 'NR > 3 && NF > 10 { u = $8 } END { print u }')
check "nvme-cli and the tool agree on percentage used" test "$(smart_value after percentage_used)" = "${used:-x}"
check "SATA disk not to be tested" grep -q ": /dev/sda, 67.1 MB, QEMU HARDDISK.*: not tested: " <<<"$OUT"
check "SATA disk refused with exit 4" test "$(sed -n '/== sata drive/,$p' <<<"$OUT" | sed -n 's/== exit //p')" = 4
check "SATA image unchanged" test "$(sha256sum <"$VM/sata.img")" = "$SATA_HASH"
echo "$OUT" | sed -n '/== list/,/== done/p' >"$BUILD_DIR/vm_nvme_transcript.txt"
finish
