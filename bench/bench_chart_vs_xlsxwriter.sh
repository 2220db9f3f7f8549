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
[ -x /usr/bin/python3 ] || { echo "bench_chart_vs_xlsxwriter: needs /usr/bin/python3" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A command's wall and CPU time (user + system) in seconds, to the microsecond: /usr/bin/time rounds to
# hundredths, as coarse as the difference being measured.
timed() {
    /usr/bin/python3 -c '
import resource, subprocess, sys, time
start = time.monotonic()
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, check=True)
wall = time.monotonic() - start
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print(f"{wall:.4f} {r.ru_utime + r.ru_stime:.4f}")' "$@"
}

ours_cpu="" ours_wall="" theirs_cpu="" theirs_wall=""
for ((i = 0; i < pairs; i++)); do
    read -r wall cpu <<<"$(timed "$tool" --generations "$generations" --name Benchmark --output "$work/chart.xls")"
    ours_cpu+="$cpu "
    ours_wall+="$wall "
    read -r wall cpu <<<"$(timed "$yardstick" "$generations" Benchmark "$work/chart.xlsx")"
    theirs_cpu+="$cpu "
    theirs_wall+="$wall "
done
median() { printf '%s\n' $1 | sort -g | sed -n "$(($(printf '%s\n' $1 | wc -l) / 2 + 1))p"; }
oc=$(median "$ours_cpu") ow=$(median "$ours_wall") tc=$(median "$theirs_cpu") tw=$(median "$theirs_wall")
echo "$generations generations, $pairs pairs in turns"
echo "rootweave-chart .xls:     CPU ${oc} s, wall ${ow} s (median)"
echo "libxlsxwriter (C, .xlsx): CPU ${tc} s, wall ${tw} s (median)"
awk -v o="$oc" -v t="$tc" 'BEGIN { if (t > 0) printf "rootweave-chart CPU / libxlsxwriter CPU: %.3f\n", o / t }'
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
