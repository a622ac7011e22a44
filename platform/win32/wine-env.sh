# Sourced by the scripts that run the Windows program under Wine. WINEARCH says which program:
# win32 (the default) for the 32-bit one, win64 for the 64-bit one. $WINE is the loader that runs it:
# Debian's `wine` picks the 32-bit loader whenever wine32 is installed, and that loader cannot start
# on a host without IA-32 emulation, so the 64-bit program is started by the 64-bit loader itself.
export WINEARCH=${WINEARCH:-win32} WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$WINEARCH" = win64 ]; then
  export WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64
else
  export WINE=wine
fi
