#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy (every finding an error) over the
# program's own sources in the compile database of a Linux build folder
# (default: build). Tests, benchmarks, fuzz targets and the companion tools
# are left out to keep the run short; the headers of the core and the
# platform are checked through the sources that include them.
#   bash .ci/check-tidy.sh [build-folder]
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
jobs=${JOBS:-2}
[[ -f $build/compile_commands.json ]] || {
    echo "no compile_commands.json in $build (configure it with cmake first)" >&2
    exit 1
}
cd "$repo"
mapfile -t files < <(git ls-files 'console/*.cpp' 'engine/*.cpp' 'text/*.cpp' 'tracking/*.cpp' \
    'viewer/*.cpp' 'smart/*.cpp' 'disks/*.cpp' 'status/*.cpp' 'platform/posix/*.cpp' \
    'platform/lab/*.cpp')
started=$SECONDS
printf '%s\n' "${files[@]}" |
    xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet >"$build/clang-tidy.log" 2>&1 || {
    grep -E -A3 ': (error|warning):' "$build/clang-tidy.log" || cat "$build/clang-tidy.log"
    echo "FAILED: clang-tidy" >&2
    exit 1
}
echo "clang-tidy: ${#files[@]} files clean ($((SECONDS - started)) s)"
