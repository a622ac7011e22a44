#!/usr/bin/env bash
# Installs from Debian's archive what one purpose needs and the machine lacks:
#   install-deps.sh demo      build and run the Linux program (scripts/demo.sh)
#   install-deps.sh windows   the same with the Windows program under Wine (scripts/demo.sh --windows)
#   install-deps.sh [test]    everything: the tests, fuzzing, benchmarks, screenshots, the package
set -euo pipefail

demo=(build-essential cmake pkg-config libgtk-3-dev fonts-dejavu-core)
# wine32 runs the 32-bit program, wine64 the 64-bit one (on any machine); fonts-wine draws the title
# bar (Tahoma) and its buttons (Marlett).
windows=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386 fonts-liberation fonts-wine)
# Without a display the demo runs on a virtual one and keeps a screenshot of it.
no_display=(xvfb xauth imagemagick)
test=(libx11-dev googletest libgtest-dev libbenchmark-dev clang libclang-rt-dev valgrind gcc-multilib
  xvfb xauth xdotool x11-xkb-utils x11-utils imagemagick socat lrzsz lintian man-db dpkg-dev file)

case ${1:-test} in
  demo) packages=("${demo[@]}") ;;
  windows) packages=("${demo[@]}" "${windows[@]}") ;;
  test) packages=("${demo[@]}" "${windows[@]}" "${test[@]}") ;;
  *) echo "usage: $0 [demo|windows|test]" >&2 && exit 2 ;;
esac
[ -n "${DISPLAY:-}" ] || packages+=("${no_display[@]}")

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386  # Wine needs its 32-bit half to run a 32-bit program
fi
$sudo apt-get update -q
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
