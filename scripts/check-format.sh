#!/usr/bin/env bash
# Every C++ file stays as clang-format writes it (.clang-format at the top).
# Prints the files that differ; `clang-format -i FILE` mends one.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
clang-format --dry-run -Werror "${files[@]}"
