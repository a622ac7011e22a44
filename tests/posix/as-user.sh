#!/bin/sh
# Runs a test program as an unprivileged user when started as root, as CI is: root passes checks
# (exclusive serial ports, file permissions) that the program's users meet. The program is copied
# first, so that the user can reach it wherever the build lies.
set -eu
[ "$(id -u)" -ne 0 ] && exec "$@"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$1" "$dir/"
chown nobody:nogroup "$dir"  # the program's own folder is the user's, as it would be
program=$dir/$(basename "$1")
shift
cd "$dir"
setpriv --reuid=nobody --regid=nogroup --clear-groups "$program" "$@"
