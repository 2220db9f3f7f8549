#!/usr/bin/env bash
# The README's performance table: layout and save, reopen and render, click to preview, for 10, 13 and 15
# generations; each cell is the median of RUNS fresh processes (time) and the highest peak memory seen.
# The flush to disk that a save the user keeps adds is measured apart and printed below the table.
#   bash bench/perf_table.sh [path/to/perf_table] [runs]
# With bench_family beside perf_table, it also times the filled chart against the blank one.
set -euo pipefail
tool=${1:-build/bench/perf_table}
runs=${2:-5}
[ -x "$tool" ] || { echo "perf_table.sh: no executable at $tool" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() {  # numbers... -> the middle one
    printf '%s\n' "$@" | sort -g | sed -n "$(($# / 2 + 1))p"
}

measure() {  # step generations -> "median_ms peak_MB"; a save also leaves its flush median in $work/flush
    local step=$1 n=$2 times=() flushes=() peak=0 out s m f
    for ((i = 0; i < runs; i++)); do
        case $step in
            save) rm -f "$work/chart.xls"; out=$("$tool" save "$n" "$work/chart.xls") ;;
            render) out=$("$tool" render "$n" "$work/chart.xls") ;;
            preview) out=$("$tool" preview "$n") ;;
        esac
        read -r s m f <<<"$out"
        times+=("$s")
        [ -n "${f:-}" ] && flushes+=("$f")
        peak=$(awk -v a="$peak" -v b="$m" 'BEGIN { print (b > a ? b : a) }')
    done
    if [ "${#flushes[@]}" -gt 0 ]; then
        median "${flushes[@]}" >"$work/flush-$n"
    fi
    awk -v s="$(median "${times[@]}")" -v m="$peak" 'BEGIN { printf "%.0f ms, %.0f MB", s * 1000, m }'
}

cpu=$(lscpu | sed -n 's/^Model name:[[:space:]]*//p' | head -n 1)
echo "Machine: $cpu, $(nproc) cores, $(free -g | awk '/^Mem:/ { print $2 }') GB; median of $runs runs, peak memory of the process."
echo
echo "| Generations | Layout and save | Reopen and render | Click to preview |"
echo "|---|---|---|---|"
for n in 10 13 15; do
    save=$(measure save "$n")
    render=$(measure render "$n")
    preview=$(measure preview "$n")
    echo "| $n | $save | $render | $preview |"
done
echo
echo -n "Layout and save writes the workbook as the run writes its temporary one, not flushed to disk. A flush of it"
echo " then takes (median): $(for n in 10 13 15; do awk -v n="$n" '{ printf "%s generations %.0f ms. ", n, $1 * 1000 }' "$work/flush-$n"; done)"

# The filled chart: 15 generations from the 100,000-person family file bench_family writes, against the
# blank chart, in turns (the family file is read before the click, as a dropped file is).
writer="$(dirname "$tool")/bench_family"
if [ -x "$writer" ]; then
    "$writer" --write "$work/family.ged" 100000 >/dev/null
    filled=() blank=() peak=0
    for ((i = 0; i < runs; i++)); do
        read -r s m <<<"$("$tool" filled 15 "$work/family.ged")"
        filled+=("$s")
        peak=$(awk -v a="$peak" -v b="$m" 'BEGIN { print (b > a ? b : a) }')
        read -r s m <<<"$("$tool" preview 15)"
        blank+=("$s")
    done
    f=$(median "${filled[@]}")
    b=$(median "${blank[@]}")
    awk -v f="$f" -v b="$b" -v m="$peak" 'BEGIN { printf "Filled chart, 15 generations from 100,000 people: click to preview %.0f ms (%.0f MB with the family file), the blank chart %.0f ms in the same turns: %.2f times.\n", f * 1000, m, b * 1000, f / b }'
fi
