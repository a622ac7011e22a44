#!/usr/bin/env bash
# Files both ways, the program started from a folder not its own.
source "$(dirname "$0")/lib.sh"
config 1 && device 1 && device 2
mkdir "$W/start" && printf 'Never shown\r\nMMMMMM\r\n' >"$W/start/TXT00007.KVB" # only in the start folder
page7() { blank 1 && must 1 "send \e[X00007$park" && expect_screen 1 '' '######'; }
payload 300 >"$W/files/out.bin" && payload 334 >"$W/files/in.bin"
{ cat "$W/files/in.bin"; printf '\x1a%.0s' $(seq 50); } >"$W/in.padded" # the last block, padded as given
received() { until_ok 10 cmp -s "$1" "$W/in.padded" || fail "$1 is not in.bin as the device gave it"; }
# whole FILE: the device got out.bin, in whole blocks (the last one filled from the program's buffer).
whole() { cmp -n 300 "$1" "$W/files/out.bin" && [ "$(stat -c %s "$1")" = 384 ] || fail "$1 is not out.bin"; }
start "$W/start" && main_window 1
calibrate 1 && page7 # the page drawn, to be cleared when the blocks go out

# Sending: the device refuses block 2 once and the first EOT; the file goes out whole.
ask 1 "take $W/took.bin reject=2 eot" && dialog 'Send a file to the device' "$W/files/out.bin"
expect_screen - # cleared while the blocks go out, with nothing of the dialog left on it
answered 1 'ok blocks=1,2,2,3 eot=2' && whole "$W/took.bin"
wait_title 1 && page7 && no_box # the Open dialog has not moved the program away from the folder it started in

# Receiving into a new name (GTK asks first): a block with a bad checksum, one whose ACK is lost.
# A file of the user's under the first temporary name the program tries is left alone.
echo mine >"$W/files/~0.tmp"
ask 1 "give $W/files/in.bin badsum=2 missack=1" && dialog 'Save the file from the device' "$W/files/new.bin" new
answered 1 'ok sent=5 naks=1' && received "$W/files/new.bin"
[ "$(cat "$W/files/~0.tmp")" = mine ] && [ ! -e "$W/files/~1.tmp" ] || fail "temporary files: $(ls "$W/files")"
# Over an existing file: no question, the file replaced.
head -c 1000 /dev/zero >"$W/files/old.bin"
ask 1 "give $W/files/in.bin" && dialog 'Save the file from the device' "$W/files/old.bin"
answered 1 'ok sent=3 naks=0' && received "$W/files/old.bin"
# Cancelled dialogs tell the device nothing.
must 1 'send \e[R' && closes 'Send a file to the device' Escape
must 1 'send \e[T' && closes 'Save the file from the device' Escape
must 1 'silence 1500'
# On Linux a name longer than the program takes (259 bytes) is refused as a cancel is: nothing moves.
long=$W/$(printf 'd%.0s' {1..250})/x.bin && mkdir -p "${long%/*}"
[ "$kind" = wine ] || { must 1 'send \e[T' && dialog 'Save the file from the device' "$long" new && must 1 'silence 1500'; }
sync_with 1

# lrzsz as the device: rx takes a file, sx gives one.
must 1 'send \e[R' && dialog 'Send a file to the device' "$W/files/out.bin"
must 1 "run cd $W && rx -X -b rx.bin" 'ok 0' && whole "$W/rx.bin" # rx writes into its own folder only
wait_title 1 15 && no_box # once the EOT that rx may have left unanswered has been given up
dev 1 'silence 300' >/dev/null # drops what the device has not read yet
must 1 'send \e[T' && dialog 'Save the file from the device' "$W/files/sx.bin" new
must 1 "run sx -X $W/files/in.bin" 'ok 0' && received "$W/files/sx.bin"
wait_title 1 && no_box
dev 1 'silence 300' >/dev/null # the second ACK to EOT, which sx does not read
sync_with 1

# A configuration that has become a folder: F2 cannot store the port; fatal, and nothing written.
mv "$P/MIRELOX.CFG" "$W/cfg.moved" && mkdir "$P/MIRELOX.CFG"
keys F2 && box "$fatal" && exits 1
[ -d "$P/MIRELOX.CFG" ] && [ -z "$(ls -A "$P/MIRELOX.CFG")" ] || fail "the folder was changed"
config 1 "$W" && cmp -s "$W/MIRELOX.CFG" "$W/cfg.moved" || fail "the configuration was changed"
