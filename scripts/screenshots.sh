#!/usr/bin/env bash
# Makes the pictures in docs/: both programs (the Linux one, and the Windows one under Wine) run
# against the demo device on a virtual display; for each, the demo menu, a file being sent (the
# title bar counting the blocks) and text page 00001, cropped to the window. With no window manager
# the X server draws no title bar for the Linux program, so its title is printed above the window
# (Wine draws its own). The Windows program is the 32-bit one, or the 64-bit one on a machine that
# runs no 32-bit programs. Builds what is missing first, as the demo command does.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target mirelox mirelox-devsim
bits=32 build=build-win toolchain=i686
/usr/lib/wine/wine --version >/dev/null 2>&1 || bits=64 build=build-win64 toolchain=x86_64
cmake -S . -B $build -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-$toolchain.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build $build -j "$(nproc)" --target mirelox

work=$(mktemp -d /tmp/mirelox-shots.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  WINEPREFIX="$work/wine" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# A display of its own, on the first free number from :90.
number=90
while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=:$number
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

fail() {
  echo "screenshots: $*" >&2
  exit 1
}

# Waits until a visible window's title matches the pattern; prints its id.
wait_for_window() {
  for _ in $(seq 300); do
    local found
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [ -n "$found" ] && { echo "$found"; return 0; }
    sleep 0.1
  done
  return 1
}

# Saves the window as a small PNG; with a title given, prints it in a bar above the window.
shoot() {
  local window=$1 out=$2 title=${3:-}
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  import -window root "$work/root.png"
  local args=(-crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage)
  if [ -n "$title" ]; then
    title=${title//\\/\\\\}
    title=${title//%/%%}
    args+=(-background '#d6d6d6' -gravity north -splice 0x26 -font DejaVu-Sans -pointsize 13
      -fill black -annotate +0+5 "$title")
  fi
  convert "$work/root.png" "${args[@]}" -dither None -colors 16 "PNG8:$out"
  echo "$out: $(stat -c %s "$out") bytes"
}

# The title to print above a picture of the Linux program; Wine draws the window's own caption.
title() {
  if [ "$kind" = linux ]; then xdotool getwindowname "$main"; fi
}

# Runs one program against the demo device and takes its three pictures.
#   take KIND   (linux or windows)
take() {
  kind=$1
  local dir=$work/$1
  mkdir -p "$dir/home"
  cp tools/demo/MIRELOX.CFG tools/demo/*.KVB "$dir/"
  # A file to send: 60 blocks of readable text.
  for line in $(seq 120); do printf '%-63s\n' "Line $line of the file Mirelox sends to the demo device"; done >"$dir/sample.bin"
  build/tools/mirelox-devsim --link "$dir/com1" --demo >"$dir/devsim.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -e "$dir/com1" ] && break; sleep 0.1; done

  if [ "$kind" = linux ]; then
    (cd "$dir" && MIRELOX_COM1="$dir/com1" HOME="$dir/home" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 \
      GDK_BACKEND=x11 exec "$root/build/mirelox") >"$dir/program.log" 2>&1 &
  else
    export WINEPREFIX="$work/wine" WINEARCH=win$bits
    . platform/win32/wine-env.sh
    echo "Preparing a Wine prefix for the $bits-bit program (about 15 s)..."
    platform/win32/wine-prefix.sh create "$WINEPREFIX" >/dev/null 2>>"$dir/program.log"
    platform/win32/wine-prefix.sh map-port "$WINEPREFIX" 1 "$dir/com1" >/dev/null 2>>"$dir/program.log"
    cp $build/mirelox.exe "$dir/"
    (cd "$dir" && exec "$WINE" mirelox.exe) >>"$dir/program.log" 2>&1 &
  fi
  local program=$!
  pids+=("$program")
  main=$(wait_for_window '^ Mirelox v2.2 ') || fail "no $kind main window"
  xdotool windowfocus --sync "$main"
  sleep 2

  shoot "$main" "docs/$kind-main.png" "$(title)"

  xdotool key 3
  sleep 2
  shoot "$main" "docs/$kind-page.png" "$(title)"

  xdotool key 9 1
  local dialog
  dialog=$(wait_for_window '^Pick a file to send to the device$') || fail "no $kind Open dialog"
  xdotool windowfocus --sync "$dialog"
  sleep 0.5
  if [ "$kind" = linux ]; then
    # The chooser's location entry opens on ctrl+L and may drop what is typed before it is ready.
    for _ in 1 2 3; do
      xdotool key ctrl+l
      sleep 0.5
      xdotool key ctrl+a type --delay 40 "$dir/sample.bin"
      sleep 0.3
      xdotool key Return
      sleep 2
      xdotool search --onlyvisible --name '^Pick a file' >/dev/null || break
      xdotool windowfocus --sync "$dialog" 2>/dev/null || true
    done
  else
    xdotool type --delay 40 "Z:${dir//\//\\}\\sample.bin"
    xdotool key Return
  fi
  # A 60-block file takes about 40 s: the picture is taken a few blocks in. (Under Wine the X
  # window's name keeps the normal title meanwhile; the caption Wine draws shows the count.)
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^Pick a file' >/dev/null || break
    sleep 0.1
  done
  sleep 4
  if [ "$kind" = linux ] && ! xdotool getwindowname "$main" | grep -q '^Sending block'; then
    echo "warning: the title does not count the blocks: $(xdotool getwindowname "$main")" >&2
  fi
  shoot "$main" "docs/$kind-transfer.png" "$(title)"

  kill "$program" 2>/dev/null || true
  [ "$kind" = windows ] && { wineserver -k >/dev/null 2>&1 || true; }
  wait "$program" 2>/dev/null || true
}

mkdir -p docs
take linux
take windows
