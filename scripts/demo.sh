#!/usr/bin/env bash
# The demo command: installs what is missing, builds, and starts the device simulator in its demo
# mode with the Linux program connected to it through COM1. With --windows the Windows program
# runs under Wine instead: the 32-bit one, or the 64-bit one on a machine that runs no 32-bit
# programs. The simulator ends itself when the window is closed.
# Without a display (no DISPLAY), both run on a virtual display and a screenshot is kept.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

windows=false
[ "${1:-}" = "--windows" ] && windows=true

if $windows; then scripts/install-deps.sh windows; else scripts/install-deps.sh demo; fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target mirelox mirelox-devsim
if $windows; then
  bits=32 build=build-win toolchain=i686
  /usr/lib/wine/wine --version >/dev/null 2>&1 || bits=64 build=build-win64 toolchain=x86_64
  cmake -S . -B $build -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-$toolchain.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build $build -j "$(nproc)" --target mirelox
fi

work=$(mktemp -d /tmp/mirelox-demo.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  $windows && WINEPREFIX="$work/wine" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

cp tools/demo/MIRELOX.CFG tools/demo/*.KVB "$work/"
if [ -z "${DISPLAY:-}" ]; then
  Xvfb :77 -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=:77
  echo "No display: running on the virtual display :77; screenshots go to $root/demo-screen.png"
  (while sleep 5; do import -window root "$root/demo-screen.png" 2>/dev/null || true; done) &
  pids+=($!)
fi

build/tools/mirelox-devsim --link "$work/com1" --demo &
devsim=$!
pids+=($devsim)
for _ in $(seq 50); do [ -e "$work/com1" ] && break; sleep 0.1; done

cd "$work"
if $windows; then
  export WINEPREFIX="$work/wine" WINEARCH=win$bits
  . "$root/platform/win32/wine-env.sh"
  # Wine's messages (and the object table its server prints when it ends with objects left) go
  # to a log that is shown only when something fails.
  log=$work/wine.log
  echo "Preparing a Wine prefix for the $bits-bit program (about 15 s)..."
  if ! "$root/platform/win32/wine-prefix.sh" create "$WINEPREFIX" >/dev/null 2>>"$log" ||
    ! "$root/platform/win32/wine-prefix.sh" map-port "$WINEPREFIX" 1 "$work/com1" >/dev/null 2>>"$log"; then
    tail -n 20 "$log" >&2
    exit 1
  fi
  cp "$root/$build/mirelox.exe" .
  status=0
  "$WINE" mirelox.exe 2>>"$log" || status=$?
  wineserver -w 2>>"$log"
  if [ "$status" -ne 0 ]; then
    tail -n 20 "$log" >&2
    exit "$status"
  fi
else
  MIRELOX_COM1="$work/com1" "$root/build/mirelox"
fi
wait "$devsim" || true
