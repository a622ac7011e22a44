#!/bin/sh
# Runs a test program as an unprivileged user when started as root, as CI is: root passes checks
# (an exclusive serial port) that the program's users meet. The program is copied where that user
# can reach it, wherever the build lies. The user is in a second group, as a lab's members are.
set -eu
[ "$(id -u)" -ne 0 ] && exec "$@"
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT
cp "$1" "$dir/" && chmod 755 "$dir" && chown nobody "$dir"  # tests put files beside it
program=$dir/$(basename "$1") && shift
setpriv --reuid=nobody --regid=nogroup --groups=users "$program" "$@"
