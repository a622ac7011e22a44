#!/usr/bin/env bash
# The benchmark command: builds the Linux program, both Windows programs and the benchmarks, measures
# the programs on this machine (idle processor time, reaction after idle, pacing, block transfers,
# reaction in a transfer, drawing, start-up) on a virtual display of their own and prints one table
# of goal, measured value and whether the goal was met. A missed goal is reported, not failed.
# The 64-bit Windows program runs under Wine's 64-bit loader on every machine, the 32-bit one where
# the machine runs 32-bit programs; the output says which ran.
# Takes about ten minutes on a busy 2-core machine with the 64-bit program alone, more with both;
# progress goes to standard error, details to build-bench/bench.log.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)
build=build-bench
rows=$build/bench-rows.txt
log=$build/bench.log

echo "== Building" >&2
cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# The modem-lines library (tests/e2e) makes Wine's WaitCommEvent pend on a pseudo-terminal.
cmake --build $build -j "$jobs" --target mirelox drawing_benchmark pacing_reference window_bench sleep_probe \
  e2e_modem_lines_x86_64 e2e_modem_lines_i386 >/dev/null
for bits in 64 32; do
  toolchain=cmake/mingw-w64-i686.cmake
  [ $bits = 32 ] || toolchain=cmake/mingw-w64-x86_64.cmake
  if [ ! -f $build/win$bits/CMakeCache.txt ]; then
    cmake -S . -B $build/win$bits -DCMAKE_TOOLCHAIN_FILE=$toolchain -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build $build/win$bits -j "$jobs" --target mirelox >/dev/null
done

# Some kernels have IA-32 emulation off: then Wine's 32-bit loader cannot start, and only running a
# 32-bit program tells.
printf 'int main(void) { return 0; }\n' >$build/runs_32_bit.c
gcc -m32 -static -o $build/runs_32_bit $build/runs_32_bit.c
windows=(64)
if $build/runs_32_bit 2>/dev/null; then
  windows+=(32)
  ran="64-bit and 32-bit"
else
  ran="64-bit only; the 32-bit program and the 32-bit Sleep(5) probe did not run: this machine runs no 32-bit programs (a static 32-bit test program does not start)"
fi

wine_prefix() { echo "$PWD/$build/bench-wineprefix$1"; }
for bits in "${windows[@]}"; do
  if [ ! -f "$(wine_prefix $bits)/system.reg" ]; then
    echo "== Making a Wine prefix for the $bits-bit program (once)" >&2
    WINEARCH=win$bits bash platform/win32/wine-prefix.sh create "$(wine_prefix $bits)"
  fi
done

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
: >"$rows"
: >"$log"

# One virtual display for the whole run, on a number Xvfb finds free itself.
display_file=$build/xvfb-display
: >"$display_file"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$display_file" 2>>"$log" &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q '^[0-9][0-9]*$' "$display_file" && break
  sleep 0.1
done
grep -q '^[0-9][0-9]*$' "$display_file" || { echo "Xvfb did not start (see $log)" >&2; exit 1; }
export DISPLAY=:$(cat "$display_file")
echo "== Measuring" >&2
echo "  the pseudo-terminal and the simulator with an exact 5 ms writer" >&2
$build/benchmarks/pacing_reference >>"$rows" 2>>"$log"
for bits in "${windows[@]}"; do
  echo "  Sleep(5) under Wine, $bits-bit" >&2
  (
    export WINEPREFIX=$(wine_prefix $bits) WINEARCH=win$bits
    . platform/win32/wine-env.sh
    "$WINE" $build/benchmarks/sleep_probe$bits.exe >>"$rows" 2>>"$log"
    wineserver -w
  )
done
echo "  drawing through the core with Google Benchmark" >&2
$build/benchmarks/drawing_benchmark >>"$rows" 2>>"$log"
$build/benchmarks/window_bench linux >>"$rows" 2> >(tee -a "$log" >&2)
for bits in "${windows[@]}"; do
  $build/benchmarks/window_bench wine$bits >>"$rows" 2> >(tee -a "$log" >&2)
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
memory=$(awk '/^MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)
echo
echo "Machine: $(nproc) processors ($cpu), $memory memory; load average $load_before before, $load_after after."
echo "Windows programs run under Wine: $ran."
echo
tr -d '\r' <"$rows" | grep '^ROW|' | sort -t'|' -k2,2n -s | cut -d'|' -f3- | awk -F'|' '
  BEGIN { split("Measure|Program|Goal|Measured|Goal met", head, "|") }
  { n++; for (i = 1; i <= 5; i++) { cell[n, i] = $i; if (length($i) > width[i]) width[i] = length($i) } }
  END {
    for (i = 1; i <= 5; i++) if (length(head[i]) > width[i]) width[i] = length(head[i])
    line = "|"; rule = "|"
    for (i = 1; i <= 5; i++) {
      line = line sprintf(" %-*s |", width[i], head[i])
      dashes = sprintf("%*s", width[i], ""); gsub(/ /, "-", dashes); rule = rule " " dashes " |"
    }
    print line; print rule
    for (r = 1; r <= n; r++) {
      line = "|"
      for (i = 1; i <= 5; i++) line = line sprintf(" %-*s |", width[i], cell[r, i])
      print line
    }
  }'
