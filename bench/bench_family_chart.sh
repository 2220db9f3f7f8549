#!/usr/bin/env bash
# A filled 15-generation chart from a generated family file of 100,000 people (the file bench_family writes:
# a full 15-generation pedigree among ordinary records), end to end with rootweave-chart, against the blank
# chart of the same depth; median wall and CPU time and peak memory of 5 fresh processes each, in turns.
#   bash bench/bench_family_chart.sh <dir>/src/cli/rootweave-chart <dir>/bench/bench_family [people]
set -euo pipefail
tool="$1"
writer="$2"
people="${3:-100000}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
"$writer" --write "$scratch/family.ged" "$people"
echo "family file: $(du -m "$scratch/family.ged" | cut -f1) MB, $people people"
run() {
  /usr/bin/time -f "%e %U %S %M" -o "$scratch/t" "$@" >/dev/null 2>&1
  awk '{ printf "%.2f %.2f %d\n", $1, $2 + $3, $4 / 1024 }' "$scratch/t"
}
: >"$scratch/filled"
: >"$scratch/blank"
for _ in 1 2 3 4 5; do
  run "$tool" --gedcom "$scratch/family.ged" --person I1 --output "$scratch/filled.xls" >>"$scratch/filled"
  run "$tool" --generations 15 --name Blank --output "$scratch/blank.xls" >>"$scratch/blank"
done
for kind in filled blank; do
  sort -n "$scratch/$kind" | awk -v k="$kind" 'NR == 3 { printf "%s: wall %.2f s (median of 5), CPU %.2f s, %d MB\n", k, $1, $2, $3 }'
done
