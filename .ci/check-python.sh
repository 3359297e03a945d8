#!/usr/bin/env bash
# pyflakes over the Python sources (the report tool, its tests, the bench
# scripts): unused or undefined names and imports fail the run.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mapfile -t files < <(git ls-files '*.py')
/usr/bin/python3 -m pyflakes "${files[@]}"
echo "pyflakes: ${#files[@]} files clean"
