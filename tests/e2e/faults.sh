#!/usr/bin/env bash
# Faults: a silent device, a line that goes away, a full disk.
# The full disk is a small tmpfs: a user who may not mount one gets a mount namespace of their own.
[ "$(id -u)" = 0 ] || [ -n "${E2E_OWN_MOUNTS:-}" ] ||
  E2E_OWN_MOUNTS=1 exec unshare --user --map-current-user --keep-caps --mount bash "$0" "$@"
source "$(dirname "$0")/lib.sh"
unset MODEM_LINES_SO # under Wine, these faults are met with the 1 ms look of a line whose waits end at once
config 1 && for n in 1 2 3 4 5; do device $n; done
payload 640 >"$W/files/out.bin" && payload 512 >"$W/files/in.bin" && payload 5120 >"$W/big.bin"
head -c 700 /dev/zero | tr '\0' k | tee "$W/kept.orig" >"$W/files/kept.bin"
ten() { [ "$1" -ge 8000 ] && [ "$1" -le 13000 ] || fail "took $1 ms, not 10 s"; } # ten MS: about 10 s
# gave_up: ms from the last bytes the program sent to the failure it noted, in the record of the line.
gave_up() {
  awk '{ split($2, t, ":"); ms = ((t[1] * 60 + t[2]) * 60 + t[3]) * 1000 } $3 == "TX" { sent = ms }
    $3 == "--" && / failed after / { printf "%d\n", (ms - sent + 86400000) % 86400000; exit }' "$W/line.txt"
}
# stays_idle WHEN: the program lives on, and neither its output nor its processor time keeps growing (a
# one-off reaction is let pass first).
output() { grep -av ':trace:' "$W/program.log" | wc -c; } # Wine's window trace aside
stays_idle() {
  sleep 0.5 && local size=$(output) ticks=$(cpu_ticks 2>/dev/null) # an ended program fails below
  sleep 2 && ! ended || fail "the program ended ($1)"
  [ $(($(output) - size)) -le 1024 ] || fail "the program keeps writing output ($1)"
  [ $(($(cpu_ticks) - ticks)) -le 60 ] || fail "the program keeps the processor busy ($1)"
}
LOG_TO=$W/line.txt start && main_window 1

# Silent inside an escape sequence: after 10 s the sequence is given up and a key pressed meanwhile goes
# out. The device times it from its reply to the identification query sent just before the sequence.
must 1 'send \e\xFF\x7F\x08\x0C\x41\e[0' && keys k && r=$(dev 1 'expect 15000 MIRELOX     k')
[ "${r%% *}" = ok ] || fail "COM1 expected the reply, then k: $r"
ten "${r#ok }"
# Silent inside a transfer: block 2 goes unanswered; after 10 s "No connection!", nothing more sent.
ask 1 "take $W/took.bin silent=2" && dialog 'Send a file to the device' "$W/files/out.bin"
answered 1 'fail fell silent after block 2 on purpose blocks=1,2 eot=0'
titled 'Sending block 2' || fail "no progress title while block 2 waits for its answer"
until_ok 15 shown '^Error$' || fail "no box for the silence"
ten "$(gave_up)"
must 1 'silence 300'
box 'ERROR: No connection!' && wait_title 1 && sync_with 1

# The device unplugged while idle: within 3 s the title says so and no box waits; the program looks for it
# once a second, its own loop asleep in between; plugged in again, it is back within 5 s by itself.
must 1 unplug && wait_title 1 3 'no device' && no_box
before=$(cpu_ticks) && sleep 4 && [ $(($(cpu_ticks) - before)) -le 4 ] || fail "$(($(cpu_ticks) - before))/100 s in 4 s without the device"
must 1 plug && wait_title 1 5 && sync_with 1
port 2 && typed 2 x && port 3
# ... unplugged in the middle of a file received under the name of an existing one: the transfer ends as on
# silence and the file stays as it was (on Linux the screen shows nothing of the Save dialog while the
# blocks are awaited); plugged in again, the device is back by itself.
[ "$kind" = wine ] || calibrate 3
ask 3 "give $W/files/in.bin silent=2" && dialog 'Save the file from the device' "$W/files/kept.bin"
answered 3 'fail fell silent in block 2 on purpose sent=1 naks=0'
titled 'Receiving block 1' || fail "no progress title while block 2 is awaited"
[ "$kind" = wine ] || expect_screen -
must 3 unplug && box 'ERROR: No connection!' && wait_title 3 3 'no device'
must 3 plug && wait_title 3 5 && sync_with 3
cmp -s "$W/files/kept.bin" "$W/kept.orig" || fail "the existing file was changed"
[ "$(ls "$W/files")" = "$(printf 'in.bin\nkept.bin\nout.bin')" ] || fail "files left: $(ls "$W/files")"
stays_idle "after the device came back"

# A full disk under the file to replace: the box of configuration line 7, the old file intact.
port 4
mkdir "$W/disk" && mount -t tmpfs -o size=64k tmpfs "$W/disk" || fail "no small disk"
payload 1000 | tee "$W/saved.orig" >"$W/disk/saved.bin"
room() { echo $(($(stat -f -c '%a * %S' "$W/disk"))); }
head -c $(($(room) - 4096)) /dev/zero >"$W/disk/filler"
ask 4 "give $W/big.bin" && dialog 'Save the file from the device' "$W/disk/saved.bin"
answered 4 'ok sent=40 naks=0' && box 'Cannot create the received file'
cmp -s "$W/disk/saved.bin" "$W/saved.orig" || fail "the file to replace was changed"
[ "$(ls -A "$W/disk")" = "$(printf 'filler\nsaved.bin')" ] || fail "on the disk: $(ls -A "$W/disk")"
[ "$(room)" = 4096 ] || fail "the failed save holds space"
port 5 && typed 5 y
# The end: on Linux as a desktop that logs out ends it (SIGTERM), under Wine by File > Exit; the record of
# the line ends either way, and it has noted each device that went away and came back.
if [ "$kind" = linux ]; then kill -TERM "$pid"; else keys alt+f x; fi
exits 0 && tr -d '\r' <"$W/line.txt" >"$W/lines.txt" # CR LF under Wine
[ "$(tail -n1 "$W/lines.txt" | cut -d' ' -f3-)" = "-- log ended" ] || fail "the record does not end"
[ "$(awk '$3 == "--" && $5 ~ /^(lost|back)$/ { printf "%s %s ", $4, $5 }' "$W/lines.txt")" = \
  "COM1 lost COM1 back COM3 lost COM3 back " ] || fail "the record's losses: $(grep -a -- '-- COM' "$W/line.txt")"
