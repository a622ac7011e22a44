#!/usr/bin/env bash
# Prepares a throw-away Wine prefix for running mirelox.exe, and maps COM ports to paths
# (a pseudo-terminal, or a socat link= name). WINEARCH=win64 makes a prefix for the 64-bit program.
#
#   wine-prefix.sh create DIR            make a new prefix in DIR (about 15 s, ~600 MB); COM1..COM6
#                                        are mapped to nothing, so none of them opens
#   wine-prefix.sh map-port DIR N PATH [N PATH]...
#                                        make COMN open PATH (takes effect at the next start)
#   wine-prefix.sh unmap-port DIR N      make COMN fail to open again
#
# Run the program afterwards with the same environment (wine-env.sh sets $WINE):
#   WINEPREFIX=DIR WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wine mirelox.exe
#   WINEPREFIX=DIR WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" /usr/lib/wine/wine64 mirelox.exe
set -euo pipefail

usage() {
  sed -n '2,13p' "$0" >&2
  exit 2
}

[ $# -ge 2 ] || usage
command=$1
prefix=$(realpath -m "$2")
export WINEPREFIX=$prefix
. "$(dirname "$0")/wine-env.sh"
# Wine gives every COMn without an entry of its own to a host serial device (/dev/ttyS0 ...), so a
# port meant to fail points at a path that does not exist instead of having no entry.
no_port=$prefix/no-such-port

# map_ports N PATH [N PATH]...: one registry import for all, as each start of wine takes a while.
# A dosdevices/comN link made by hand is rewritten by Wine at start; the registry entry is not.
map_ports() {
  local reg=$prefix/ports.reg
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n' >"$reg"
  while [ $# -ge 2 ]; do printf '"COM%s"="%s"\r\n' "$1" "$2" >>"$reg" && shift 2; done
  "$WINE" regedit /S "Z:${reg//\//\\}"
}

case $command in
  create)
    [ $# -eq 2 ] || usage
    mkdir -p "$prefix"
    # wineboot returns before the prefix is finished; wineserver -w waits for the rest.
    "$WINE" wineboot -i >/dev/null 2>&1
    wineserver -w
    # Without a window manager (Xvfb) managed, decorated windows stall every close by 1-2 s.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null
    # Debian's Wine 8 looks for its own fonts in /usr/share/fonts, not in /usr/share/wine/fonts
    # where fonts-wine puts them: without Tahoma the title bar is blank, without Marlett the
    # caption buttons read "0 1 r". Name the folder.
    "$WINE" reg add 'HKCU\Software\Wine\Fonts' /v Path /t REG_SZ /d 'Z:\usr\share\wine\fonts' /f >/dev/null
    map_ports 1 "$no_port" 2 "$no_port" 3 "$no_port" 4 "$no_port" 5 "$no_port" 6 "$no_port"
    wineserver -w
    ;;
  map-port)
    [ $# -ge 4 ] && [ $(($# % 2)) = 0 ] || usage
    shift 2
    map_ports "$@"
    wineserver -w
    ;;
  unmap-port)
    [ $# -eq 3 ] || usage
    map_ports "$3" "$no_port"
    wineserver -w
    ;;
  *)
    usage
    ;;
esac
