#!/usr/bin/env bash
# The benchmark command: builds the Linux program, the Windows program and the benchmarks, measures
# both programs on this machine (idle processor time, reaction after idle, pacing, block transfers,
# reaction in a transfer, drawing, start-up) on a virtual display of their own and prints one table
# of goal, measured value and whether the goal was met. A missed goal is reported, not failed.
# Takes about five minutes; progress goes to standard error, details to build-bench/bench.log.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)
build=build-bench
rows=$build/bench-rows.txt
log=$build/bench.log

echo "== Building" >&2
cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build $build -j "$jobs" --target mirelox drawing_benchmark pacing_reference window_bench sleep_probe >/dev/null
if [ ! -f $build/win/CMakeCache.txt ]; then
  cmake -S . -B $build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build $build/win -j "$jobs" --target mirelox >/dev/null

export WINEPREFIX=$PWD/$build/bench-wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== Making a Wine prefix (once)" >&2
  bash platform/win32/wine-prefix.sh create "$WINEPREFIX"
fi

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
: >"$rows"
: >"$log"

# One virtual display for the whole run, on a number Xvfb finds free itself.
display_file=$build/xvfb-display
: >"$display_file"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>>"$log" &
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
echo "  Sleep(5) under Wine" >&2
wine $build/benchmarks/sleep_probe.exe >>"$rows" 2>>"$log"
wineserver -w
echo "  drawing through the core with Google Benchmark" >&2
$build/benchmarks/drawing_benchmark >>"$rows" 2>>"$log"
$build/benchmarks/window_bench linux >>"$rows" 2> >(tee -a "$log" >&2)
$build/benchmarks/window_bench wine >>"$rows" 2> >(tee -a "$log" >&2)
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
memory=$(awk '/^MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)
echo
echo "Machine: $(nproc) processors ($cpu), $memory memory; load average $load_before before, $load_after after."
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
