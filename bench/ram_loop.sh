# Shared by the fio comparisons: a loop device over a file in /dev/shm.
# ram_loop_attach NAME SIZE_MIB sets $work (a scratch folder in /dev/shm) and
# $loop; both go on every exit, after the caller's extra_cleanup when it
# defines one. Needs the caller's fail function.
ram_loop_attach() {
    work=$(mktemp -d "/dev/shm/ssdtest-$1.XXXXXX")
    loop=""
    trap ram_loop_cleanup EXIT
    trap 'exit 130' INT TERM HUP
    truncate -s "$2M" "$work/drive.img"
    loop=$(losetup -f --show "$work/drive.img")
    [[ $loop == /dev/loop* ]] || fail "no loop device: $loop"
}

ram_loop_cleanup() {
    if declare -F extra_cleanup >/dev/null; then extra_cleanup; fi
    if [ -n "$loop" ]; then losetup -d "$loop" || echo "could not detach $loop" >&2; fi
    rm -rf "$work"
}
