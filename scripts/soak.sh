#!/usr/bin/env bash
# A long soak chain: the soak test of the headless suite for STEPS steps
# (default 100000) from SEED (default the test's own), in build/ (built with
# the invariant checks on). Prints the seed, the steps and the time taken.
# Usage: soak.sh [STEPS] [SEED]
set -euo pipefail
cd "$(dirname "$0")/.."
steps=${1:-100000}
[[ $# -ge 2 ]] && export TESSA_SEED=$2
[[ -x build/tests/core_tests ]] || scripts/build.sh build -DTESSA_ASSERTS=ON
start=$(date +%s)
TESSA_SOAK_STEPS=$steps build/tests/core_tests --gtest_filter='SoakTest.*' --gtest_brief=1
echo "soak: $steps steps in $(($(date +%s) - start)) s"
