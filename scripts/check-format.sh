#!/usr/bin/env bash
# Checks that every C++ source and header of the project follows .clang-format, and names
# each place that does not (`clang-format -i FILE` mends it). Run by the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format || command -v clang-format-14) || {
    echo "clang-format is not installed" >&2
    exit 1
}
mapfile -t files < <(find src tests fuzz bench -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
"$format" --dry-run --Werror "${files[@]}"
echo "${#files[@]} files follow .clang-format"
