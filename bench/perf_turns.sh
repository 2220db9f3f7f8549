#!/usr/bin/env bash
# Two builds' perf_table in turns: each step of each generation count runs once for the first build, once for
# the second, and so again TURNS times, so that both meet the machine in the same moods (on a machine whose
# cores change speed, a set of runs of one build and then a set of the other compares the moments, not the
# builds). Prints, for each build, each step's median and fastest run and the peak memory seen.
#   bash bench/perf_turns.sh path/to/old/perf_table path/to/new/perf_table [turns] [generations...]
# The filled chart (15 generations from the 100,000-person file) joins in when bench_family is beside the
# second perf_table; FILLED=0 leaves it out.
set -euo pipefail
old=${1:?path to the perf_table of the first build}
new=${2:?path to the perf_table of the second build}
turns=${3:-11}
shift $(($# < 3 ? $# : 3))
generations=("$@")
[ ${#generations[@]} -gt 0 ] || generations=(10 13 15)
for tool in "$old" "$new"; do
    [ -x "$tool" ] || { echo "perf_turns.sh: no executable at $tool" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

family=""
writer="$(dirname "$new")/bench_family"
if [ "${FILLED:-1}" != 0 ] && [ -x "$writer" ]; then
    family="$work/family.ged"
    "$writer" --write "$family" 100000 >/dev/null
fi

median() {  # numbers... -> the middle one
    printf '%s\n' "$@" | sort -g | sed -n "$(($# / 2 + 1))p"
}

for ((i = 0; i < turns; i++)); do
    for b in 0 1; do
        tool=$([ "$b" = 0 ] && echo "$old" || echo "$new")
        for n in "${generations[@]}"; do
            echo "$b save $n $("$tool" save "$n" "$work/chart-$b.xls" 2>/dev/null)"
            echo "$b render $n $("$tool" render "$n" "$work/chart-$b.xls" 2>/dev/null)"
            echo "$b preview $n $("$tool" preview "$n" 2>/dev/null)"
        done
        if [ -n "$family" ]; then
            echo "$b filled 15 $("$tool" filled 15 "$family" 2>/dev/null)"
        fi
    done
done >"$work/runs"

echo "$turns turns; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A medians  # "build step generations" -> seconds
for b in 0 1; do
    echo "$([ "$b" = 0 ] && echo "$old" || echo "$new"):"
    while read -r step n; do
        mapfile -t times < <(awk -v b="$b" -v s="$step" -v n="$n" '$1 == b && $2 == s && $3 == n { print $4 }' "$work/runs")
        peak=$(awk -v b="$b" -v s="$step" -v n="$n" '$1 == b && $2 == s && $3 == n && $5 > m { m = $5 } END { print m }' "$work/runs")
        medians["$b $step $n"]=$(median "${times[@]}")
        awk -v s="$step" -v n="$n" -v m="${medians["$b $step $n"]}" -v f="$(printf '%s\n' "${times[@]}" | sort -g | head -n 1)" -v p="$peak" \
            'BEGIN { printf "  %-7s %2s generations: median %.0f ms, fastest %.0f ms, peak %.0f MB\n", s, n, m * 1000, f * 1000, p }'
    done < <(awk -v b="$b" '$1 == b { print $2, $3 }' "$work/runs" | awk '!seen[$0]++')
    if [ -n "${medians["$b filled 15"]:-}" ] && [ -n "${medians["$b preview 15"]:-}" ]; then
        awk -v f="${medians["$b filled 15"]}" -v p="${medians["$b preview 15"]}" \
            'BEGIN { printf "  the filled chart by the medians: %.2f times the blank one\n", f / p }'
    fi
done
