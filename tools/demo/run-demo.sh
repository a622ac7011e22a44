#!/usr/bin/env bash
# Runs the demo device against the Linux program in a scratch folder holding the demo's
# configuration and text pages. The demo ends when the program's window is closed.
#   tools/demo/run-demo.sh [BUILD_DIR]   (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-$here/../../build}")
folder=$(mktemp -d /tmp/mirelox-demo-XXXXXX)
cp "$here"/MIRELOX.CFG "$here"/TXT*.KVB "$folder"/
"$build"/tools/mirelox-devsim --link "$folder/com1" --demo &
devsim=$!
sleep 0.5
(cd "$folder" && MIRELOX_COM1="$folder/com1" "$build"/mirelox) || true
wait "$devsim"
rm -rf "$folder"
