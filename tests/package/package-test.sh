#!/usr/bin/env bash
# The Debian package from end to end: make it, install it with apt, find its manual page, start
# the installed program against the device simulator on a display of its own, remove it, and check
# that none of its files is left.
#   tests/package/package-test.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build}")
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
work=$(mktemp -d /tmp/mirelox-package.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  $sudo dpkg --remove mirelox >/dev/null 2>&1 || true  # after a failure
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package-test: $*" >&2; exit 1; }

rm -f "$build"/mirelox_*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || fail "cpack: $(cat "$work/cpack.log")"
deb=$(echo "$build"/mirelox_*.deb)
$sudo apt-get install -y -q "$deb" >"$work/apt.log" 2>&1 || fail "install: $(cat "$work/apt.log")"
man -aw mirelox | grep -x /usr/share/man/man1/mirelox.1.gz >/dev/null || fail "man -w does not find mirelox(1)"

# The installed program finds MIRELOX.CFG in the folder it is started from.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
cp examples/MIRELOX.CFG "$work/"
"$build/tools/mirelox-devsim" --link "$work/com1" --demo >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && [ -e "$work/com1" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
(cd "$work" && MIRELOX_COM1="$work/com1" HOME="$work" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 \
  GDK_BACKEND=x11 exec /usr/bin/mirelox) >"$work/program.log" 2>&1 &
pids+=($!)
title='^ Mirelox v2\.2  \|   COM1: 4800 8N1'
for _ in $(seq 100); do xdotool search --name "$title" >/dev/null && break; sleep 0.1; done
xdotool search --name "$title" >/dev/null || fail "no window titled for COM1: $(cat "$work/program.log")"
kill "${pids[2]}"

$sudo apt-get remove -y -q mirelox >"$work/apt.log" 2>&1 || fail "remove: $(cat "$work/apt.log")"
for file in $(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 2) }') /usr/share/doc/mirelox; do
  [ ! -e "$file" ] || fail "left behind: $file"
done
state=$(dpkg-query -W -f='${db:Status-Status}' mirelox 2>/dev/null) || true
[ -z "$state" ] || [ "$state" = not-installed ] || [ "$state" = config-files ] || fail "dpkg: mirelox is $state"
echo "package-test: $(basename "$deb") installed, started and removed"
