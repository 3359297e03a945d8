#!/usr/bin/env bash
# Cross builds the Windows console program and smoke-tests it under wine.
#
#  1. build-win32/ssdtest.exe: 32-bit, static, MinGW-w64 (posix threads);
#     must be a "PE32 executable (console) Intel 80386". The 32-bit checks of
#     the win32 services are compiled beside it (wine64 runs only the 64-bit
#     ones); the summary at the end says what ran and what was only compiled.
#  2. build-win64: the same program for x86-64, plus the checks of the win32
#     services; both run under wine64 without a display: the checks must
#     pass, and a scripted dialogue (drive 0, write test, target 1) must show
#     the prompts, exactly one failure message (or the guard's refusal with
#     its reason line) and exit code 0; the
#     command line's --version, --list and a bad option give 0, 0 and 2.
#
# Needs: cmake, mingw-w64, g++-mingw-w64-i686-posix, g++-mingw-w64-x86-64-posix,
# libboost-dev (headers only), wine64, file. Run from anywhere, as any user.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${JOBS:-2}
exec </dev/null  # nothing below may wait for the operator

step() { printf '\n== %s\n' "$*"; }
fail() {
    printf 'FAILED: %s\n' "$*" >&2
    exit 1
}

build() {  # build <folder> <toolchain> [target]
    cmake -S "$repo" -B "$repo/$1" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/$2" \
        -DCMAKE_BUILD_TYPE=Release -DSSDTEST_WERROR=ON >/dev/null
    cmake --build "$repo/$1" -j "$jobs" ${3:+--target "$3"}
}

step "i686 build (the program and its checks)"
build build-win32 mingw-i686.cmake ssdtest
build build-win32 mingw-i686.cmake win32_checks
exe32="$repo/build-win32/ssdtest.exe"
checks32="$repo/build-win32/ssdtest_win32_checks.exe"
[[ $(file -b "$checks32") == "PE32 executable (console) Intel 80386"* ]] ||
    fail "the i686 checks were not built"
kind=$(file -b "$exe32")
echo "ssdtest.exe: $kind"
[[ $kind == "PE32 executable (console) Intel 80386"* ]] || fail "unexpected file type: $kind"
# Asks for administrator rights, cancels stalled transfers, keeps the system awake.
grep -aq 'level="requireAdministrator"' "$exe32" || fail "no requireAdministrator manifest"
imports=$(i686-w64-mingw32-objdump -p "$exe32")
for function in CancelIoEx SetThreadExecutionState; do
    grep -qw "$function" <<<"$imports" || fail "$function is not imported"
done
echo "manifest: requireAdministrator; imports: CancelIoEx, SetThreadExecutionState"
# The 32-bit build targets any x86 CPU; its bit counting must still use the
# popcnt instruction (in a variant picked by a CPU check at run time).
bitcount=$(find "$repo/build-win32" -name 'bit_count.cpp.obj' | head -n 1)
[[ -n $bitcount ]] || fail "no i686 object of the bit counting"
popcnts=$(i686-w64-mingw32-objdump -d "$bitcount" | grep -cw popcnt || true)
[[ $popcnts -gt 0 ]] || fail "no popcnt in the i686 bit counting"
echo "i686 bit counting: $popcnts popcnt instructions"

step "x86_64 build"
build build-win64 mingw-x86_64.cmake
exe64="$repo/build-win64/ssdtest.exe"
checks64="$repo/build-win64/ssdtest_win32_checks.exe"

# wine64 runs 64-bit programs; Debian keeps it outside PATH and the "wine"
# wrapper picks it when wine32 is not installed.
if command -v wine64 >/dev/null; then
    wine=(wine64)
elif [[ -x /usr/lib/wine/wine64 ]]; then
    wine=(/usr/lib/wine/wine64)
elif command -v wine >/dev/null; then
    wine=(wine)
else
    fail "wine64 is not installed"
fi

scratch=$(mktemp -d)
export WINEPREFIX="$scratch/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono/Gecko installer prompts
unset DISPLAY WAYLAND_DISPLAY
stop_wineserver() {  # only the wineserver of this scratch prefix
    if [[ -d $WINEPREFIX ]]; then
        if command -v wineserver >/dev/null; then
            wineserver -k 2>/dev/null || true
        elif [[ -x /usr/lib/wine/wineserver64 ]]; then
            /usr/lib/wine/wineserver64 -k 2>/dev/null || true
        fi
    fi
}
cleanup() {
    stop_wineserver
    rm -rf "$scratch"
}
trap cleanup EXIT

step "wine prefix"
timeout 300 "${wine[@]}" wineboot -i >"$scratch/wineboot.log" 2>&1 ||
    { cat "$scratch/wineboot.log"; fail "wineboot"; }
# Windows without a display: the null graphics driver still creates them.
"${wine[@]}" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null ||
    fail "null graphics driver"
stop_wineserver  # the desktop started by wineboot restarts with it

step "checks of the win32 services (wine)"
# From a folder the ANSI code page cannot spell, next to a "drive" that never
# answers (a FIFO nobody writes).
checks_folder="$scratch/run/Проверка 検査"
mkdir -p "$checks_folder"
cp "$checks64" "$checks_folder/"
mkfifo "$checks_folder/stall.fifo"
(cd "$checks_folder" && timeout 300 "${wine[@]}" ./ssdtest_win32_checks.exe) | tr -d '\r' |
    tee "$scratch/checks.txt" || fail "win32 checks"
checks_line=$(tail -n 1 "$scratch/checks.txt")
cp "$exe64" "$scratch/run/"
cd "$scratch/run"

step "dialogue smoke run (wine)"
set +e
printf '0\nN\n1\n' | timeout 120 "${wine[@]}" ./ssdtest.exe >"$scratch/smoke.out" 2>"$scratch/smoke.err"
status=$?
set -e
tr -d '\r' <"$scratch/smoke.out" >"$scratch/smoke.txt"
cat "$scratch/smoke.txt"
echo "exit code: $status"
[[ $status -eq 0 ]] || { cat "$scratch/smoke.err"; fail "exit code $status"; }

expect() {  # expect <text>: the output holds the text
    grep -qF -- "$1" "$scratch/smoke.txt" || fail "missing in output: $1"
}
expect 'Drive #'
expect 'Input Drive Number: '
expect 'Read Only Test? (Input "Y" or "N") '
expect 'Input Average Erase Count Target: '
expect 'Press Any Key To Finish.'

# Exactly one line between the last prompt and the final wait: the failure.
failure=$(sed -n '/Input Average Erase Count Target: /,/Press Any Key To Finish\./p' \
    "$scratch/smoke.txt" | sed -e 's/.*Input Average Erase Count Target: //' \
    -e '/^Press Any Key To Finish\.$/d' -e '/^$/d')
# wine's first disk is either not of the supported kind, or one the guard
# cannot read (then refused with its reason line, before anything is made).
lines=$(printf '%s\n' "$failure" | grep -c . || true)
refusal=$'CreateFile failed\ncannot probe \\\\.\\PhysicalDrive0: '
if [[ $failure == "$refusal"* ]]; then
    [[ $lines -eq 2 ]] || fail "expected the refusal and its reason, got $lines lines: $failure"
else
    [[ $lines -eq 1 ]] || fail "expected one failure message, got $lines: $failure"
    [[ $failure == "Drive Not Found" ]] || fail "unexpected failure message: $failure"
fi
echo "failure message: $failure"

step "command line (wine)"
set +e
timeout 120 "${wine[@]}" ./ssdtest.exe --version </dev/null >"$scratch/version.out" 2>&1
version_status=$?
timeout 120 "${wine[@]}" ./ssdtest.exe --list </dev/null >"$scratch/list.out" 2>&1
list_status=$?
timeout 120 "${wine[@]}" ./ssdtest.exe --drive 0 </dev/null >/dev/null 2>"$scratch/bad.err"
bad_status=$?
set -e
tr -d '\r' <"$scratch/version.out"
tr -d '\r' <"$scratch/list.out"
[[ $version_status -eq 0 ]] || fail "--version: exit code $version_status"
grep -qE '^ssdtest.exe [0-9]+\.[0-9]+\.[0-9]+ \(git ' "$scratch/version.out" || fail "--version text"
[[ $list_status -eq 0 ]] || fail "--list: exit code $list_status"
grep -qE 'Drive #[0-9]+: \\\\\.\\PhysicalDrive[0-9]+, ' "$scratch/list.out" ||
    fail "--list shows no device path"
[[ $bad_status -eq 2 ]] || fail "a test without a target: exit code $bad_status"
grep -qF 'choose a test with --aec-target T or --read-only' "$scratch/bad.err" || fail "no error line"

step "key from a pipe that stays open (wine)"
# The final wait must take a key that arrives later through the pipe, without
# waiting for the pipe to close.
mkfifo "$scratch/keys"
(printf '0\nN\n1\n'; sleep 8; printf 'q'; exec sleep 60) >"$scratch/keys" &
writer=$!
started=$SECONDS
timeout 60 "${wine[@]}" ./ssdtest.exe <"$scratch/keys" >"$scratch/key.out" 2>&1 || true
took=$((SECONDS - started))
kill "$writer" 2>/dev/null || true  # still holding the pipe open
wait "$writer" 2>/dev/null || true
echo "ended after ${took}s"
grep -qF 'Press Any Key To Finish.' "$scratch/key.out" || fail "no final wait"
# Not before the key came (an open pipe is no end of input), not after the
# writer would have closed it.
[[ $took -ge 7 && $took -lt 30 ]] || fail "the key from the pipe was not taken (ended after ${took}s)"

step "summary"
echo "ran under wine (64-bit): build-win64/ssdtest_win32_checks.exe ($checks_line);"
echo "  build-win64/ssdtest.exe: dialogue smoke run, --version, --list, a bad option, a key from a pipe"
echo "compiled and inspected only (no 32-bit wine here): build-win32/ssdtest.exe (file type,"
echo "  manifest, imports, popcnt), build-win32/ssdtest_win32_checks.exe (not run)"
echo "only a real Windows machine shows: docs/windows-bench-checklist.md"

step "Windows build OK"
