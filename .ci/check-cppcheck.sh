#!/usr/bin/env bash
# cppcheck (warning, performance, portability) over the program's own sources,
# the Windows backend included. A finding fails the run; a false positive is
# silenced where it stands with "// cppcheck-suppress <id>" and the reason.
# Then unused functions over every source at once (whole-program, so one job):
# tests, benchmarks and fuzz targets count as callers, and
# .ci/cppcheck-unused.xml lists the functions called from outside the code.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
jobs=${JOBS:-2}
mapfile -t files < <(git ls-files 'console/*.cpp' 'engine/*.cpp' 'text/*.cpp' 'tracking/*.cpp' \
    'viewer/*.cpp' 'smart/*.cpp' 'disks/*.cpp' 'status/*.cpp' 'platform/*.cpp' 'tools/*.cpp')
started=$SECONDS
cppcheck --std=c++17 --language=c++ --enable=warning,performance,portability \
    --inline-suppr --error-exitcode=1 --quiet -j "$jobs" -I . "${files[@]}"
echo "cppcheck: ${#files[@]} files clean ($((SECONDS - started)) s)"

mapfile -t everything < <(git ls-files '*.cpp')
started=$SECONDS
cppcheck --std=c++17 --language=c++ --library=googletest --enable=unusedFunction \
    --suppress-xml=.ci/cppcheck-unused.xml --inline-suppr --error-exitcode=1 --quiet \
    -I . "${everything[@]}"
echo "cppcheck unusedFunction: ${#everything[@]} files, no dead function ($((SECONDS - started)) s)"
