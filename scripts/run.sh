#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program as it ships: a
# broken invariant is logged and survived, never the end of a session.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build-release -DTESSA_ASSERTS=OFF
exec build-release/tessaform
