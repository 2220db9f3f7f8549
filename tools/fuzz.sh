#!/usr/bin/env bash
# Fuzzes the .xls reader and the family-file reader for about the given number of seconds in all (default
# 60, split between the two) with libFuzzer, in its own build folder (build-fuzz), each from its seeds and
# dictionary. Further arguments go to libFuzzer (they override the limits below). Exits non-zero when a
# fuzzer finds a crash, a hang (2 s for one input) or runaway memory (512 MB).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
build="$here/build-fuzz"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DROOTWEAVE_FUZZ=ON -DROOTWEAVE_TESTS=OFF -DROOTWEAVE_BENCH=OFF -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" -j2 --target fuzz_xls_reader fuzz_family_reader fuzz_make_seeds
corpus="$build/corpus"
mkdir -p "$corpus"
"$build/fuzz/fuzz_make_seeds" "$corpus"
cd "$build"
# A smaller quarantine of freed memory than the sanitizer's default, so the memory limit measures the reader.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=64}"
half=$(( (seconds + 1) / 2 ))
"$build/fuzz/fuzz_xls_reader" "$corpus" -max_total_time="$half" -timeout=2 -rss_limit_mb=512 \
  -max_len=262144 -dict="$here/fuzz/xls.dict" -print_final_stats=1 "$@"

family_corpus="$build/family-corpus"
mkdir -p "$family_corpus"
cp "$here"/fuzz/family_seeds/*.ged "$here"/examples/*.ged "$family_corpus"/
"$build/fuzz/fuzz_family_reader" "$family_corpus" -max_total_time="$(( seconds - half > 0 ? seconds - half : 1 ))" \
  -timeout=2 -rss_limit_mb=512 -max_len=65536 -dict="$here/fuzz/family.dict" -print_final_stats=1 "$@"
