#!/usr/bin/env bash
# Prepares a throw-away 32-bit Wine prefix for running mirelox.exe, and maps COM ports to paths
# (a pseudo-terminal, or a socat link= name).
#
#   wine-prefix.sh create DIR            make a new prefix in DIR (about 15 s, ~600 MB); COM1..COM6
#                                        are mapped to nothing, so none of them opens
#   wine-prefix.sh map-port DIR N PATH   make COMN open PATH (takes effect at the next start)
#   wine-prefix.sh unmap-port DIR N      make COMN fail to open again
#
# Run wine yourself afterwards with the same environment:
#   WINEPREFIX=DIR WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wine mirelox.exe
set -euo pipefail

usage() {
  sed -n '2,11p' "$0" >&2
  exit 2
}

[ $# -ge 2 ] || usage
command=$1
prefix=$(realpath -m "$2")
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine gives every COMn without an entry of its own to a host serial device (/dev/ttyS0 ...), so a
# port meant to fail points at a path that does not exist instead of having no entry.
no_port=$prefix/no-such-port

# A dosdevices/comN link made by hand is rewritten by Wine at start; the registry entry is not.
map_port() {
  wine reg add 'HKLM\Software\Wine\Ports' /v "COM$1" /t REG_SZ /d "$2" /f >/dev/null
}

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
    # Debian's Wine 8 looks for its own fonts in /usr/share/fonts, not in /usr/share/wine/fonts
    # where fonts-wine puts them: without Tahoma the title bar is blank, without Marlett the
    # caption buttons read "0 1 r". Name the folder.
    wine reg add 'HKCU\Software\Wine\Fonts' /v Path /t REG_SZ /d 'Z:\usr\share\wine\fonts' /f >/dev/null
    for n in 1 2 3 4 5 6; do map_port "$n" "$no_port"; done
    wineserver -w
    ;;
  map-port)
    [ $# -eq 4 ] || usage
    map_port "$3" "$4"
    wineserver -w
    ;;
  unmap-port)
    [ $# -eq 3 ] || usage
    map_port "$3" "$no_port"
    wineserver -w
    ;;
  *)
    usage
    ;;
esac
