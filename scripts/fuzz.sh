#!/usr/bin/env bash
# Runs every fuzz target for a given time (seconds, default 60) or a number of executions
# (--runs N), starting from its seed corpus. Findings are written to build-fuzz/findings/.
# Usage: scripts/fuzz.sh [SECONDS] | --runs N [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

limit=(-max_total_time="${1:-60}")
if [ "${1:-}" = "--runs" ]; then
  limit=(-runs="$2")
  shift 2
else
  [ $# -gt 0 ] && shift
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(configuration interpreter text_page receive_blocks)

scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DMIRELOX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]/%/_fuzz}"
mkdir -p build-fuzz/findings
for target in "${targets[@]}"; do
  work="build-fuzz/corpus/$target"
  mkdir -p "$work"
  echo "== $target"
  # The fake platform keeps its world from one input to the next, which would make libFuzzer look
  # for leaks after every input; leaks are the memcheck tests' business.
  "build-fuzz/tests/fuzz/${target}_fuzz" "${limit[@]}" -print_final_stats=1 -detect_leaks=0 \
    -artifact_prefix="build-fuzz/findings/${target}-" "$work" "tests/fuzz/corpus/$target" 2>&1 |
    grep -E "^(Done|stat::number_of_executed_units|stat::average_exec_per_sec|==[0-9]+==ERROR)|SUMMARY" || true
done
