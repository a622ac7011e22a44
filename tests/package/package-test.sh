#!/usr/bin/env bash
# The Debian package from end to end: made, installed with apt (its manual page found), its program
# started against the device simulator on a display of its own, then removed without leaving a file.
#   tests/package/package-test.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build}")
sudo=$([ "$(id -u)" -eq 0 ] || echo sudo)
work=$(mktemp -d /tmp/mirelox-package.XXXXXX)
cleanup() {
  kill $(jobs -p) 2>/dev/null || true
  $sudo dpkg --remove mirelox >/dev/null 2>&1 || true  # after a failure
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package-test: $*" >&2; exit 1; }
quiet() { "$@" >"$work/log" 2>&1 || fail "$*: $(cat "$work/log")"; }  # shows the output of a failed command
# until_ok SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds; false after SECONDS.
until_ok() { local end=$((SECONDS + $1)) && shift && until "$@"; do [ $SECONDS -lt $end ] || return 1; sleep 0.1; done; }

rm -f "$build"/mirelox_*.deb
(cd "$build" && quiet cpack -G DEB)
deb=$(echo "$build"/mirelox_*.deb)
quiet $sudo apt-get install -y -q "$deb"
man -aw mirelox | grep -x /usr/share/man/man1/mirelox.1.gz >/dev/null || fail "man -w does not find mirelox(1)"

# The installed program finds MIRELOX.CFG in the folder it is started from.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
cp examples/MIRELOX.CFG "$work/"
"$build/tools/mirelox-devsim" --link "$work/com1" --demo >/dev/null 2>&1 &
until_ok 5 test -s "$work/display" -a -e "$work/com1" || fail "no display or no device"
export DISPLAY=:$(cat "$work/display")
(cd "$work" && MIRELOX_COM1="$work/com1" HOME="$work" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 \
  GDK_BACKEND=x11 exec /usr/bin/mirelox) >"$work/program.log" 2>&1 &
until_ok 10 xdotool search --name '^ Mirelox v2\.2  \|   COM1: 4800 8N1' >/dev/null ||
  fail "no window titled for COM1: $(cat "$work/program.log")"
kill $!

quiet $sudo apt-get remove -y -q mirelox
for file in $(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 2) }') /usr/share/doc/mirelox; do
  [ ! -e "$file" ] || fail "left behind: $file"
done
echo "package-test: $(basename "$deb") installed, started and removed"
