#!/usr/bin/env bash
# Installs from Debian's archive whatever the build, the tests and the demo need and the machine lacks.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libgtk-3-dev fonts-dejavu-core libx11-dev
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev valgrind
  g++-mingw-w64-i686 wine wine64 wine32:i386 fonts-liberation
  xvfb xauth xdotool x11-xkb-utils imagemagick socat
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386  # Wine needs its 32-bit half to run a 32-bit program
fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
