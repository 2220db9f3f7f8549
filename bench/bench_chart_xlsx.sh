#!/bin/bash
# rootweave-chart --output .xlsx against .xls for the deepest chart (15 generations, 32,767 boxes, rows up
# to 32,771). The two formats take turns, so both meet the same load on the machine. Prints, per format,
# the best and median wall time, the median CPU time (user + system), the peak memory and the file size,
# then the .xlsx median as a multiple of the .xls one.
#   bash bench/bench_chart_xlsx.sh [path/to/rootweave-chart] [runs]
set -euo pipefail
tool=${1:-build/src/cli/rootweave-chart}
runs=${2:-7}
[ -x "$tool" ] || { echo "bench_chart_xlsx: no executable at $tool" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "bench_chart_xlsx: needs /usr/bin/time (apt-get install time)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

declare -A wall cpu peak
for format in xls xlsx; do
    wall[$format]=""
    cpu[$format]=""
    peak[$format]=0
done
for ((i = 0; i < runs; i++)); do
    for format in xls xlsx; do
        /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$tool" --generations 15 --name "Benchmark" \
            --output "$work/chart.$format" >/dev/null
        read -r seconds user system kilobytes <"$work/time"
        wall[$format]+="$seconds "
        cpu[$format]+="$(awk "BEGIN { print $user + $system }") "
        ((kilobytes > peak[$format])) && peak[$format]=$kilobytes
    done
done
median() { printf '%s\n' $1 | sort -g | sed -n "$(($runs / 2 + 1))p"; }
best() { printf '%s\n' $1 | sort -g | head -1; }
for format in xls xlsx; do
    size=$(stat -c %s "$work/chart.$format")
    echo "--output .$format: wall best $(best "${wall[$format]}") s, median $(median "${wall[$format]}") s;" \
        "CPU median $(median "${cpu[$format]}") s; peak RSS $((peak[$format] / 1024)) MB;" \
        "file $((size / 1024)) KB ($runs runs)"
done
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }
echo ".xlsx / .xls: wall $(ratio "$(median "${wall[xlsx]}")" "$(median "${wall[xls]}")")x," \
    "CPU $(ratio "$(median "${cpu[xlsx]}")" "$(median "${cpu[xls]}")")x"
