# Builds a virtual machine for runs on a real kernel's disk drivers, in the
# folder $VM: a Debian kernel taken from its package (unpacked, not
# installed), driver modules with their dependencies, and a busybox initramfs
# with chosen programs and their shared libraries. Sourced (bash); each
# function returns non-zero with the reason in $VM_ERROR, and the caller
# decides whether that skips or fails.
#
#   VM=<folder>; source tests/vm/build_vm.sh
#   vm_kernel [CACHE]        $VM_KERNEL, $VM_MODULES (CACHE keeps the package)
#   vm_modules NAME...       the modules and their load order in the initramfs
#   vm_copy_program SOURCE NAME
#   vm_initramfs INIT        $VM/initrd.cpio, INIT as its /init
#   vm_boot SECONDS MIB QEMU-ARGS...   console output in $VM/console.log,
#                            $VM_PID while it runs; kernel arguments beyond
#                            the console's from $VM_KERNEL_ARGS (default quiet)

VM_ERROR=""

vm_kernel() {
  local cache=${1:-$VM} package deb
  mkdir -p "$VM/root/modules" "$VM/root/bin" "$cache"
  # The kernel: the package linux-image-amd64 depends on.
  package=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/.*Depends: \(linux-image-[0-9].*\)/\1/p' | head -1)
  [ -n "$package" ] || { VM_ERROR="no kernel package known to apt"; return 1; }
  deb=$(ls "$cache/${package}"_*.deb 2>/dev/null | head -1)
  if [ -z "$deb" ]; then
    (cd "$cache" && apt-get download "$package" >/dev/null 2>&1) ||
      { VM_ERROR="kernel package $package cannot be downloaded"; return 1; }
    deb=$(ls "$cache/${package}"_*.deb | head -1)
  fi
  rm -rf "$VM/kernel"
  dpkg-deb -x "$deb" "$VM/kernel" || { VM_ERROR="kernel package $deb cannot be unpacked"; return 1; }
  VM_KERNEL=$(ls "$VM"/kernel/boot/vmlinuz-*)
  VM_MODULES=$(ls -d "$VM"/kernel/lib/modules/*)
}

# vm_modules NAME...: the modules, dependencies first, into root/modules with
# the order to load them in root/modules/order.
vm_modules() {
  declare -A loaded=()
  local order=() module
  _vm_add_module() {
    local name=${1//-/_} file dep
    [ -n "${loaded[$name]:-}" ] && return
    loaded[$name]=1
    file=$(find "$VM_MODULES/kernel" -name "$name.ko" -o -name "${name//_/-}.ko" | head -1)
    [ -n "$file" ] || return 0  # built into the kernel
    for dep in $(modinfo -F depends "$file" | tr ',' ' '); do _vm_add_module "$dep"; done
    cp "$file" "$VM/root/modules/"
    order+=("$(basename "$file")")
  }
  for module in "$@"; do _vm_add_module "$module"; done
  printf '%s\n' "${order[@]}" >"$VM/root/modules/order"
}

# vm_copy_program SOURCE NAME: the program stripped as /NAME, with its
# shared libraries at their own paths.
vm_copy_program() {
  local lib
  strip -o "$VM/root/$2" "$1" || { VM_ERROR="$1 cannot be copied"; return 1; }
  for lib in $(ldd "$1" | grep -o '/[^ ]*'); do
    mkdir -p "$VM/root$(dirname "$lib")"
    cp -L "$lib" "$VM/root$lib"
  done
}

# vm_initramfs INIT: busybox as the shell, INIT as /init, packed.
vm_initramfs() {
  cp "$(command -v busybox)" "$VM/root/bin/busybox"
  ln -sf busybox "$VM/root/bin/sh"
  cp "$1" "$VM/root/init"
  chmod +x "$VM/root/init"
  mkdir -p "$VM/root/proc" "$VM/root/sys" "$VM/root/dev" "$VM/root/tmp"
  (cd "$VM/root" && find . | busybox cpio -o -H newc 2>/dev/null) >"$VM/initrd.cpio" ||
    { VM_ERROR="the initramfs cannot be packed"; return 1; }
}

# vm_boot SECONDS MIB QEMU-ARGS...: boots the kernel without KVM on one
# processor with MIB of memory and the given devices; the console goes to
# $VM/console.log. Fails when the machine is not off within SECONDS.
vm_boot() {
  local seconds=$1 memory=$2
  shift 2
  # In the background and waited for, so that the caller's signal traps run
  # at once and can end it by $VM_PID.
  timeout "$seconds" qemu-system-x86_64 -machine q35 -m "$memory" -smp 1 -no-reboot -display none \
    -kernel "$VM_KERNEL" -initrd "$VM/initrd.cpio" -append "console=ttyS0 panic=-1 ${VM_KERNEL_ARGS:-quiet}" \
    -serial "file:$VM/console.log" "$@" &
  VM_PID=$!
  wait "$VM_PID" || { VM_ERROR="the virtual machine did not run to its end within $seconds s"; VM_PID=""; return 1; }
  VM_PID=""
}
