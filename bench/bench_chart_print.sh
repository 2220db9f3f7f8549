#!/bin/bash
# rootweave-chart's --print: time, peak memory and pages of the deepest chart (15 generations) printed into a
# PDF, against the same chart made without printing. Prints the median wall time of several runs.
#   bash bench/bench_chart_print.sh [path/to/rootweave-chart] [runs]
set -euo pipefail
tool=${1:-build/src/cli/rootweave-chart}
runs=${2:-5}
[ -x "$tool" ] || { echo "bench_chart_print: no executable at $tool" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "bench_chart_print: needs /usr/bin/time (apt-get install time)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# measure GENERATIONS [PAPER]: prints "median-seconds peak-MB file-KB pages"
measure() {
    local generations=$1 paper=${2:-} times=() peak=0 extra=()
    [ -n "$paper" ] && extra=(--print "$work/chart.pdf" --paper "$paper")
    for ((i = 0; i < runs; i++)); do
        /usr/bin/time -f '%e %M' -o "$work/time" "$tool" --generations "$generations" --name "Benchmark" \
            --output "$work/chart.xls" "${extra[@]}" >/dev/null
        read -r seconds kilobytes <"$work/time"
        times+=("$seconds")
        ((kilobytes > peak)) && peak=$kilobytes
    done
    local sorted=($(printf '%s\n' "${times[@]}" | sort -g)) size=0 pages=0
    if [ -n "$paper" ]; then
        size=$(stat -c %s "$work/chart.pdf")
        pages=$(pdfinfo "$work/chart.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')
    fi
    echo "${sorted[$((runs / 2))]} $((peak / 1024)) $((size / 1024)) ${pages:-?}"
}

printf '%-28s %10s %10s %10s %8s\n' "run" "median s" "peak MB" "file KB" "pages"
for row in "15" "15 a4" "15 letter"; do
    read -r generations paper <<<"$row"
    read -r seconds megabytes kilobytes pages < <(measure "$generations" "${paper:-}")
    printf '%-28s %10s %10s %10s %8s\n' "$generations generations ${paper:-(no print)}" "$seconds" \
        "$megabytes" "$kilobytes" "$pages"
done
