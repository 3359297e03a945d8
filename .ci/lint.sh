#!/usr/bin/env bash
# The lint gates, each a script of its own: formatting, clang-tidy over the
# compile database of a Linux build folder (default: build), cppcheck, pyflakes.
#   bash .ci/lint.sh [build-folder]
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
bash "$here/check-format.sh"
bash "$here/check-tidy.sh" "$@"
bash "$here/check-cppcheck.sh"
bash "$here/check-python.sh"
