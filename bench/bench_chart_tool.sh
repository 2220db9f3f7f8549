#!/bin/bash
# rootweave-chart end to end: the deepest chart (15 generations, 32,767 boxes, rows up to 32,771), from the
# command line to the saved .xls. Prints the best and median wall time of several runs and the peak memory.
#   bash bench/bench_chart_tool.sh [path/to/rootweave-chart] [runs]
set -euo pipefail
tool=${1:-build/src/cli/rootweave-chart}
runs=${2:-7}
[ -x "$tool" ] || { echo "bench_chart_tool: no executable at $tool" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "bench_chart_tool: needs /usr/bin/time (apt-get install time)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

times=()
peak=0
for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f '%e %M' -o "$work/time" "$tool" --generations 15 --name "Benchmark" \
        --output "$work/chart.xls" >/dev/null
    read -r seconds kilobytes <"$work/time"
    times+=("$seconds")
    ((kilobytes > peak)) && peak=$kilobytes
done
sorted=($(printf '%s\n' "${times[@]}" | sort -g))
size=$(stat -c %s "$work/chart.xls")
echo "rootweave-chart --generations 15: best ${sorted[0]} s, median ${sorted[$((runs / 2))]} s over $runs runs;" \
    "peak RSS $((peak / 1024)) MB; file $((size / 1024)) KB"
