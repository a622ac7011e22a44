#!/usr/bin/env bash
# Prepares a throw-away 32-bit Wine prefix for running mirelox.exe, and maps COM ports to paths
# (a pseudo-terminal, or a socat link= name).
#
#   wine-prefix.sh create DIR            make a new prefix in DIR (about 15 s, ~600 MB)
#   wine-prefix.sh map-port DIR N PATH   make COMN open PATH (takes effect at the next start)
#   wine-prefix.sh unmap-port DIR N      remove the COMN mapping
#
# Run wine yourself afterwards with the same environment:
#   WINEPREFIX=DIR WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wine mirelox.exe
set -euo pipefail

usage() {
  sed -n '2,10p' "$0" >&2
  exit 2
}

[ $# -ge 2 ] || usage
command=$1
prefix=$(realpath -m "$2")
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

case $command in
  create)
    [ $# -eq 2 ] || usage
    mkdir -p "$prefix"
    # wineboot returns before the prefix is finished; wineserver -w waits for the rest.
    wineboot -i >/dev/null 2>&1
    wineserver -w
    # Without a window manager (Xvfb) managed, decorated windows stall every close by 1-2 s.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null
    wineserver -w
    ;;
  map-port)
    [ $# -eq 4 ] || usage
    # A dosdevices/comN link made by hand is rewritten by Wine at start; the registry entry is not.
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$3" /t REG_SZ /d "$4" /f >/dev/null
    wineserver -w
    ;;
  unmap-port)
    [ $# -eq 3 ] || usage
    wine reg delete 'HKLM\Software\Wine\Ports' /v "COM$3" /f >/dev/null 2>&1 || true
    wineserver -w
    ;;
  *)
    usage
    ;;
esac
