#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz and runs each
# one for a short fixed time from its committed corpus (fuzz/corpus/<target>/).
# New inputs go to a scratch folder, so the committed corpus stays as it is; a
# crashing input is kept in build-fuzz/crashes/ and fails the run.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${JOBS:-2}
seconds=${FUZZ_SECONDS:-20}
targets=(status_csv result_log smart_pages bench_file disk_ids)
exec </dev/null

started=$SECONDS
cmake -S "$repo" -B "$repo/build-fuzz" -DCMAKE_CXX_COMPILER=clang++ -DSSDTEST_FUZZ=ON \
    -DSSDTEST_WERROR=ON -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$repo/build-fuzz" -j "$jobs" --target "${targets[@]/#/fuzz_}"
echo "fuzz build: $((SECONDS - started)) s"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$repo/build-fuzz/crashes"
export TMPDIR=$scratch
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${targets[@]}"; do
    mkdir -p "$scratch/$target"
    echo "== fuzz_$target (${seconds} s)"
    if ! "$repo/build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$repo/build-fuzz/crashes/$target-" \
        "$scratch/$target" "$repo/fuzz/corpus/$target" >"$scratch/$target.log" 2>&1; then
        tail -n 60 "$scratch/$target.log"
        echo "FAILED: fuzz_$target" >&2
        exit 1
    fi
    grep -E '^Done [0-9]+ runs' "$scratch/$target.log" || true
done
echo "fuzzing done"
