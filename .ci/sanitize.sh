#!/usr/bin/env bash
# Builds the whole tree with AddressSanitizer and UndefinedBehaviorSanitizer
# in build-asan and runs the whole test suite there. Any report fails the run.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${JOBS:-2}
exec </dev/null

started=$SECONDS
cmake -S "$repo" -B "$repo/build-asan" -DSSDTEST_SANITIZE=ON -DSSDTEST_WERROR=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$repo/build-asan" -j "$jobs"
echo "sanitizer build: $((SECONDS - started)) s"

export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
started=$SECONDS
ctest --test-dir "$repo/build-asan" --output-on-failure -j "$jobs"
echo "sanitizer tests: $((SECONDS - started)) s"
