#!/usr/bin/env bash
# Every tracked C++ file is formatted as .clang-format says. Prints the first
# differences of each file that is not; fix them with clang-format -i.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mapfile -d '' files < <(git ls-files -z '*.cpp' '*.h')
clang-format --dry-run --Werror "${files[@]}"
echo "clang-format: ${#files[@]} files formatted"
