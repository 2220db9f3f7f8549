#!/bin/bash
# rootweave-chart's --picture: the time and peak memory each picture format adds to making the chart.
# The deepest chart (15 generations) as SVG and PDF, and the deepest that PNG takes (9 generations) as PNG,
# each against the same chart made without a picture. Prints the median wall time of several runs.
#   bash bench/bench_chart_picture.sh [path/to/rootweave-chart] [runs]
set -euo pipefail
tool=${1:-build/src/cli/rootweave-chart}
runs=${2:-5}
[ -x "$tool" ] || { echo "bench_chart_picture: no executable at $tool" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "bench_chart_picture: needs /usr/bin/time (apt-get install time)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# measure GENERATIONS [PICTURE]: prints "median-seconds peak-MB file-KB"
measure() {
    local generations=$1 picture=${2:-} times=() peak=0 extra=()
    [ -n "$picture" ] && extra=(--picture "$work/$picture")
    for ((i = 0; i < runs; i++)); do
        /usr/bin/time -f '%e %M' -o "$work/time" "$tool" --generations "$generations" --name "Benchmark" \
            --output "$work/chart.xls" "${extra[@]}" >/dev/null
        read -r seconds kilobytes <"$work/time"
        times+=("$seconds")
        ((kilobytes > peak)) && peak=$kilobytes
    done
    local sorted=($(printf '%s\n' "${times[@]}" | sort -g)) size=0
    [ -n "$picture" ] && size=$(stat -c %s "$work/$picture")
    echo "${sorted[$((runs / 2))]} $((peak / 1024)) $((size / 1024))"
}

printf '%-28s %10s %10s %10s\n' "run" "median s" "peak MB" "file KB"
for row in "15" "15 chart.svg" "15 chart.pdf" "9" "9 chart.png"; do
    read -r generations picture <<<"$row"
    read -r seconds megabytes kilobytes < <(measure "$generations" "${picture:-}")
    printf '%-28s %10s %10s %10s\n' "$generations generations ${picture:-(no picture)}" "$seconds" \
        "$megabytes" "$kilobytes"
done
