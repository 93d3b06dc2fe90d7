#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the full suite on a
# virtual X display (window and GL tests use Mesa's software renderer), then
# the headless suite again under AddressSanitizer and UBSan, each reader's
# fuzz target briefly, and the worker-thread suites under ThreadSanitizer.
# The main build stops at a broken invariant (TESSA_ASSERTS), so a fault
# shows where it happens; the sanitizer build logs it and goes on, as the
# program ships, so the tests of that survival run too.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
echo "== format"
scripts/check-format.sh

scripts/build.sh build -DTESSA_ASSERTS=ON
scripts/build.sh build-asan -DTESSA_SANITIZE=ON -DTESSA_HEADLESS_ONLY=ON -DTESSA_ASSERTS=OFF

export LIBGL_ALWAYS_SOFTWARE=1
echo "== tests"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir build --output-on-failure --no-tests=error -j2
echo "== tests under sanitizers (headless)"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure --no-tests=error -L headless -j2
echo "== fuzzing each reader briefly"
scripts/fuzz.sh "${TESSA_FUZZ_SECONDS:-10}"
echo "== worker threads under ThreadSanitizer"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSA_THREAD_SANITIZE=ON \
  -DTESSA_HEADLESS_ONLY=ON > build-tsan.configure.log 2>&1 || { cat build-tsan.configure.log; exit 1; }
cmake --build build-tsan -j"$(nproc)" --target thread_tests
TSAN_OPTIONS="halt_on_error=1" \
  build-tsan/tests/thread_tests --gtest_brief=1
