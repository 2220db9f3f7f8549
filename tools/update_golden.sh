#!/usr/bin/env bash
# Writes the golden workbooks, the exact bytes of a 1- and a 3-generation chart that the test
# xls_golden_files compares the writer's output with. Run it only when a change to the written file is
# meant, then review the difference (`git diff --stat tests/spreadsheet/golden`, and open the new files in
# a spreadsheet program) before committing them with the change.
#
#   bash tools/update_golden.sh [ROOTWEAVE-CHART [FOLDER]]
#
# ROOTWEAVE-CHART defaults to build/src/cli/rootweave-chart, FOLDER to tests/spreadsheet/golden (the test
# itself writes into a folder of its own and compares).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
tool="${1:-$here/build/src/cli/rootweave-chart}"
folder="${2:-$here/tests/spreadsheet/golden}"
mkdir -p "$folder"
"$tool" --generations 1 --name "Ada Lovelace" --output "$folder/chart_1_generation.xls" >/dev/null
"$tool" --generations 3 --name "Ada Lovelace" --output "$folder/chart_3_generations.xls" >/dev/null
