# Sourced by the Wine runs: a host that cannot run 32-bit programs (IA-32 emulation off) cannot run the
# Windows program under Wine at all. Such a run is skipped, loudly, not passed.
wine --version >/dev/null 2>&1 || { echo "SKIPPED: this machine cannot run Wine's 32-bit programs: $(wine --version 2>&1 | tail -n1)" >&2; exit 77; }
