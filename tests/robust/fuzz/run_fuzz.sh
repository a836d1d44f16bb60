#!/usr/bin/env bash
# Builds one libFuzzer target with clang and runs it for a bounded time over
# its committed seed corpus (regression inputs included, run first) and a
# working corpus in the build folder.
#   run_fuzz.sh NAME SOURCE_DIR BUILD_DIR SECONDS [EXTRA SOURCES...] [-- LINK FLAGS...]
set -euo pipefail
name=$1 src=$2 out=$3 seconds=$4
shift 4
sources=() libs=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do sources+=("$1"); shift; done
[ $# -gt 0 ] && shift
libs=("$@")
if [ "${JEWELWARD_LONG:-}" = 1 ]; then seconds=300; fi

mkdir -p "$out/$name.work" "$out/$name.findings"
binary=$out/$name
newest=$(ls -t "$src/tests/robust/fuzz/$name.cpp" "${sources[@]}" "$0" | head -1)
if [ ! -x "$binary" ] || [ "$newest" -nt "$binary" ]; then
  clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I "$src/src" -I "$src/tools/replay" "$src/tests/robust/fuzz/$name.cpp" "${sources[@]}" \
    -o "$binary" "${libs[@]}"
fi
# A finding is written to $out/$name.findings; copy it into the committed
# corpus as a regression case once the fault is fixed.
ASAN_OPTIONS=detect_leaks=0 "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$out/$name.findings/" -print_final_stats=1 \
  "$out/$name.work" "$src/tests/robust/corpus/${name#fuzz_}" 2>&1 |
  grep -E "^#|stat::number_of_executed_units|stat::peak_rss|ERROR|property broken|SUMMARY|Test unit written|INFO: seed" |
  grep -vE "^#[0-9]+\s+(NEW|REDUCE|pulse)" || true
exit "${PIPESTATUS[0]}"
