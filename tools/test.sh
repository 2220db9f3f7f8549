#!/usr/bin/env bash
# Sets up what is missing, builds (warnings are errors here, unlike a user's build), and runs every test
# headless.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/tools/deps.sh"
bash "$here/tools/build.sh" build -DROOTWEAVE_TESTS=ON -DROOTWEAVE_BENCH=ON -DROOTWEAVE_WERROR=ON
cd "$here/build"
QT_QPA_PLATFORM=offscreen ctest --no-tests=error --output-on-failure -j "$(nproc)" "$@"
