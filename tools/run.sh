#!/usr/bin/env bash
# Sets up what is missing, builds, and starts Rootweave.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/tools/deps.sh"
bash "$here/tools/build.sh" build -DROOTWEAVE_TESTS=OFF -DROOTWEAVE_BENCH=OFF
exec "$here/build/src/app/rootweave" "$@"
