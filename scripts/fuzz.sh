#!/usr/bin/env bash
# Builds the fuzz targets (clang, AddressSanitizer and UBSan, the core library
# only) in build-fuzz/ and runs each over its seeds in fuzz/corpus/ for
# SECONDS (default 10). New inputs go to build-fuzz/corpus/, crashes and
# hangs to build-fuzz/findings/; the committed seeds are only read.
# Usage: fuzz.sh [SECONDS] [TARGET...]   (targets: tf1 obj config png tga)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
shift || true
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(tf1 obj config png tga)
dir=build-fuzz
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTESSA_FUZZ=ON > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"
mkdir -p "$dir/findings"
for t in "${targets[@]}"; do
  mkdir -p "$dir/corpus/$t"
  echo "== fuzz $t for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$dir/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$dir/findings/$t-" \
    "$dir/corpus/$t" "fuzz/corpus/$t" 2>"$dir/fuzz-$t.log" \
    || { tail -60 "$dir/fuzz-$t.log"; exit 1; }
  grep -E "number_of_executed_units|new_units_added" "$dir/fuzz-$t.log" | tr '\n' ' '
  echo
done
