#!/usr/bin/env bash
# Makes the Wine prefix the end-to-end tests share, once per test run: fails when the Windows
# program has not been built, since its tests would then have nothing to run.
#   prepare-wine-prefix.sh EXE PREFIX SCRIPT   (SCRIPT: platform/win32/wine-prefix.sh)
set -euo pipefail
exe=$1 prefix=$2 script=$3
if [ ! -f "$exe" ]; then
  echo "The Windows program is missing: $exe (build it with the mingw-w64 toolchain first)" >&2
  exit 1
fi
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
rm -rf "$prefix"
bash "$script" create "$prefix"
test -f "$prefix/system.reg"
