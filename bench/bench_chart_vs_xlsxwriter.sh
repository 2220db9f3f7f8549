#!/bin/bash
# rootweave-chart --generations 15 --output chart.xls, whole process, against the same chart written by
# libxlsxwriter alone (xlsxwriter_chart, constant memory). The two take turns, so both meet the same load
# on the machine. Prints each one's median CPU time (user + system) and wall time, then rootweave-chart's
# CPU time as a share of libxlsxwriter's, and the load average when the runs ended.
#   bash bench/bench_chart_vs_xlsxwriter.sh path/to/rootweave-chart path/to/xlsxwriter_chart [pairs]
set -euo pipefail
tool=${1:?path to rootweave-chart}
yardstick=${2:?path to xlsxwriter_chart}
pairs=${3:-9}
generations=${GENERATIONS:-15}
[ -x /usr/bin/time ] || { echo "bench_chart_vs_xlsxwriter: needs /usr/bin/time (apt-get install time)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ours_cpu="" ours_wall="" theirs_cpu="" theirs_wall=""
for ((i = 0; i < pairs; i++)); do
    /usr/bin/time -f '%e %U %S' -o "$work/time" "$tool" --generations "$generations" --name Benchmark \
        --output "$work/chart.xls" >/dev/null
    read -r wall user system <"$work/time"
    ours_cpu+="$(awk "BEGIN { print $user + $system }") "
    ours_wall+="$wall "
    /usr/bin/time -f '%e %U %S' -o "$work/time" "$yardstick" "$generations" Benchmark "$work/chart.xlsx"
    read -r wall user system <"$work/time"
    theirs_cpu+="$(awk "BEGIN { print $user + $system }") "
    theirs_wall+="$wall "
done
median() { printf '%s\n' $1 | sort -g | sed -n "$(($(printf '%s\n' $1 | wc -l) / 2 + 1))p"; }
oc=$(median "$ours_cpu") ow=$(median "$ours_wall") tc=$(median "$theirs_cpu") tw=$(median "$theirs_wall")
echo "$generations generations, $pairs pairs in turns"
echo "rootweave-chart .xls:     CPU ${oc} s, wall ${ow} s (median)"
echo "libxlsxwriter (C, .xlsx): CPU ${tc} s, wall ${tw} s (median)"
awk -v o="$oc" -v t="$tc" 'BEGIN { if (t > 0) printf "rootweave-chart CPU / libxlsxwriter CPU: %.2f\n", o / t }'
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
