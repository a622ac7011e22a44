# Helpers of the end-to-end runs, sourced with the program as $1 (linux, or wine64 or wine32: the Windows
# program of those bits); starts the display. From the environment: MIRELOX_BIN, MIRELOX_EXE, DEVSIM,
# CLOSE_WINDOW and HOLD_OPEN_EXE (see CMakeLists.txt), WINEPREFIX (a prepared prefix of the
# program's bits); E2E_KEEP=1 keeps the run's folder.
set -euo pipefail
kind=${1%%[0-9]*} run=$(basename "$0" .sh)-$1 # kind: linux or wine
if [ "$kind" = wine ]; then # a Wine that cannot start is a failure, with its reason
  export WINEARCH=win${1#wine} && . "$(dirname "${BASH_SOURCE[0]}")/../../platform/win32/wine-env.sh"
  why=$("$WINE" --version 2>&1) || { echo "FAIL ($1): Wine's loader $WINE cannot start here: $why" >&2 && exit 1; }
fi
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
W=$(mktemp -d /tmp/mirelox-e2e.XXXXXX) && chmod 755 "$W"
P=$W/prog && mkdir -p "$P" "$W/home/run" "$W/files" && chmod 700 "$W/home/run" # P: the program's own folder
for n in 1 2 3 4 5 6; do export "MIRELOX_COM$n=$W/com$n"; done # the Linux program's COMn
pids=() && declare -A din dout dpid # what to end; each device's pipes and process

cleanup() {
  local status=$? shot=/tmp/mirelox-e2e-failure-$run.png && set +e
  [ $status = 0 ] || { import -window root "$shot" && echo "--- $shot"; for f in program devsim wine; do
    [ ! -s "$W/$f.log" ] || { echo "--- $f.log:" && grep -av :trace: "$W/$f.log" | tail -n 20; }; done; } >&2
  kill "${pids[@]}" 2>/dev/null
  [ "$kind" = linux ] || wineserver -k 2>/dev/null
  ! mountpoint -q "$W/disk" || umount -l "$W/disk" # the small disk of the faults run
  [ -n "${E2E_KEEP:-}" ] || rm -rf "$W"
}
trap cleanup EXIT
trap 'exit 129' HUP INT TERM PIPE

fail() {
  local i at="" && for ((i = 0; i < ${#BASH_LINENO[@]} - 1; i++)); do at+=" $(basename "${BASH_SOURCE[i + 1]}"):${BASH_LINENO[i]}"; done
  printf 'FAIL (%s, at%s): %s\n' "$run" "$at" "$*" >&2 && exit 1
}
# until_ok SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds; false after SECONDS.
until_ok() { local end=$((SECONDS + $1)) && shift && until "$@"; do [ $SECONDS -lt $end ] || return 1; sleep 0.1; done; }

# Only the abstract socket: nothing to make or own in /tmp/.X11-unix, whoever runs it. No reset when the
# last client goes: a client starting then (xkbevd while xkbbell ends) would find no display.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -nolisten unix -noreset 3>"$W/display" 2>/dev/null & pids+=($!)
until_ok 20 grep -qs '^[0-9]' "$W/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -n1 "$W/display")

messages=("Mirelox test" "Text page missing: " "Binary files" "Send a file to the device" "unused four"
  "Save the file from the device" "Receiving block " "Cannot create the received file" "Cannot open" "Sending block ")
fatal='ERROR: missing MIRELOX.CFG configuration file !!! \nCannot continue, program terminated.'
config() { printf '%s\r\n' "$1" "${messages[@]}" >"${2:-$P}/MIRELOX.CFG"; } # config DIGIT [FOLDER]

# device N: a simulated device on COMN, driven by the commands of mirelox-devsim --script.
device() {
  local fd && mkfifo "$W/dev$1.in" "$W/dev$1.out"
  "$DEVSIM" --link "$W/com$1" --script <"$W/dev$1.in" >"$W/dev$1.out" 2>>"$W/devsim.log" & pids+=($!) dpid[$1]=$!
  exec {fd}>"$W/dev$1.in" && din[$1]=$fd
  exec {fd}<"$W/dev$1.out" && dout[$1]=$fd
  until_ok 10 test -L "$W/com$1" || fail "no device on COM$1"
}
ask() { printf '%s\n' "$2" >&"${din[$1]}"; } # ask N COMMAND: no wait for the answer
answer() { local r; IFS= read -r -t 90 r <&"${dout[$1]}" || r="fail no answer"; printf '%s\n' "$r"; }
dev() { ask "$1" "$2" && answer "$1"; }
# must N COMMAND [ANSWER]: the device's answer must be ANSWER (ok by default).
must() { local r; r=$(dev "$1" "$2"); [ "$r" = "${3:-ok}" ] || fail "COM$1 '$2' answered '$r', not '${3:-ok}'"; }
answered() { local r; r=$(answer "$1"); [ "$r" = "$2" ] || fail "COM$1 answered '$r', not '$2'"; }
# got N BYTES [COUNT]: the device on COMN receives exactly BYTES; with COUNT, also spread over
# COUNT - 1 pauses of about 5 ms, as the program paces the bytes of one key or reply.
got() {
  local r && r=$(dev "$1" "expect 15000 $2") && [ "${r%% *}" = ok ] || fail "COM$1 expected '$2': $r"
  [ -z "${3:-}" ] || { [ "${r#ok }" -ge $((4 * $3 - 4)) ] && [ "${r#ok }" -le $((40 * $3 - 40)) ]; } || fail "$3 bytes in ${r#ok } ms"
}
sync_with() { must "$1" query "ok MIRELOX     "; } # the bytes before the query have been handled
# payload N: N fixed bytes holding every byte value (from 256 on), no two 128-byte blocks alike.
payload() { local i h && for ((i = 0; i < $1; i++)); do printf -v h %02x $(((i + i / 256) % 256)) && printf "\\x$h"; done; }

# start [FOLDER]: the program started in FOLDER (its own folder by default), keeping a record of the
# line in $LOG_TO when that is set; COMn opens $W/comn, absent unless a device is there. Its id: $pid.
start() {
  if [ "$kind" = linux ]; then
    cp "$MIRELOX_BIN" "$P/mirelox"
    (cd "${1:-$P}" && HOME=$W/home XDG_RUNTIME_DIR=$W/home/run GDK_BACKEND=x11 G_MESSAGES_DEBUG=mirelox \
      exec "$P/mirelox" ${LOG_TO:+--log "$LOG_TO"}) >>"$W/program.log" 2>&1 &
  else
    cp "$MIRELOX_EXE" "$P/mirelox.exe"
    { wineserver -k; bash "$(dirname "${BASH_SOURCE[0]}")/../../platform/win32/wine-prefix.sh" map-port \
      "$WINEPREFIX" $(for n in 1 2 3 4 5 6; do echo "$n $W/com$n"; done); } >>"$W/wine.log" 2>&1 || true
    # A server of our own keeps what it prints (its object table when a line hangs up) out of the program's
    # output; it reads the port mapping as it starts. With MODEM_LINES_SO Wine's WaitCommEvent waits on the
    # pty as on a real port; without it, every wait ends at once and the program looks every 1 ms.
    LD_PRELOAD=${MODEM_LINES_SO:-} wineserver -p >>"$W/wine.log" 2>&1
    (cd "${1:-$P}" && LD_PRELOAD=${MODEM_LINES_SO:-} WINEDEBUG=-all,trace+win exec "$WINE" "$P/mirelox.exe" ${LOG_TO:+--log "Z:${LOG_TO//\//\\}"}) >>"$W/program.log" 2>&1 &
  fi
  pid=$! && pids+=($pid)
}
# stat_fields [task/ID/]: the program's /proc stat (of that thread) from the state on; the name before may hold ") "
stat_fields() { sed 's/.*) //' "/proc/$pid/${1:-}stat"; }
ended() { [ ! -e "/proc/$pid" ] || [ "$(stat_fields | cut -d' ' -f1)" = Z ]; }
exits() { # exits CODE: the program ends within 20 s with CODE.
  local code=0 && until_ok 20 ended || fail "the program did not end"
  wait "$pid" || code=$? && [ "$code" = "$1" ] || fail "the program ended with code $code, not $1"
}
# The program's own thread's user + system time, 1/100 s: Wine watches a pending wait in a thread of its own.
cpu_ticks() { stat_fields "task/$pid/" | awk '{ print $12 + $13 }'; }

# title N [STATE]: the title naming COMN, open (4800 8N1) or in STATE.
title() { printf ' Mirelox v2.2  |   COM%s: %s   |   select comport F1..F6   |   (c) Mirelox Instruments' "$1" "${2:-4800 8N1}"; }
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1; }
shown() { [ -n "$(visible "$1")" ]; }
opens() { until_ok 30 shown "^$1\$" || fail "no window titled $1"; }
# closes TITLE KEY: the window titled TITLE comes, and KEY closes it.
closes() { opens "$1" && WINDOW=$(visible "^$1\$") keys "$2" && until_ok 10 eval "! shown '^$1\$'" || fail "$1 stayed after $2"; }
find_main() { WIN=$(visible '^ Mirelox v2\.2 '); [ -n "$WIN" ]; }
titled() { [ "$(xdotool getwindowname "$WIN" 2>/dev/null)" = "$1" ]; }
main_window() { until_ok 30 find_main || fail "no main window"; wait_title "$1"; }
wait_title() { until_ok "${2:-10}" titled "$(title "$1" "${3:-}")" || fail "title '$(xdotool getwindowname "$WIN")', not that of COM$1"; }
keys() { xdotool windowfocus --sync "${WINDOW:-$WIN}" key --delay 80 "$@" || fail "xdotool key $* failed"; }
typed() { keys "$2" && got "$1" "$2"; } # typed N KEY: KEY reaches the device on COMN as that letter
# port N [SECONDS]: FN switches to COMN: the title names it, and MIRELOX.CFG keeps it.
port() { keys "F$1" && wait_title "$1" "${2:-10}" && [ "$(head -c1 "$P/MIRELOX.CFG")" = "$1" ] || fail "MIRELOX.CFG does not keep $1"; }

last_box() { # last_box [CAPTION]: Wine traces a box's caption (Error by default), then its text; GLib its text
  [ "$kind" = wine ] || { grep -a 'message box: ' "$W/program.log" | tail -n1 | sed 's/.*message box: //' && return; }
  grep -a -A1 "set_window_text L\"${1:-Error}\"\$" "$W/program.log" | tail -n1 | sed -n 's/.*set_window_text L"\(.*\)"$/\1/p'
}
box_says() { [ "$(last_box)" = "$1" ]; }
no_box() { ! shown '^Error$' || fail "a box says: $(last_box)"; }
# box TEXT: a message box titled Error says TEXT ("\n" for a line break); Return closes it.
box() { opens Error && until_ok 5 box_says "$1" || fail "the box says '$(last_box)', not '$1'"; closes Error Return; }
first_box() { opens Error && ! find_main || fail "a main window beside the box"; box "$1"; } # before any main window

# settles ID: the picture of window ID holds still: it has done what the last key asked.
settles() { stable eval "import -window $1 ppm:- | md5sum" >/dev/null; }
others() { xdotool search --onlyvisible --name "^$1\$" | grep -vx "$2"; } # others TITLE ID
# dialog TITLE PATH [new]: picks PATH in the file dialog titled TITLE, answering Yes to the question
# GTK asks before it creates a new file; any other window of that title fails the run. A name the
# dialog did not take is typed again, at most three times in all, each retry told in the log.
dialog() {
  local id other try WINDOW && opens "$1" && id=$(visible "^$1\$") && WINDOW=$id # the window keys go to
  for try in 1 2 3; do
    [ $try = 1 ] || echo "the dialog $1 did not take $2: typed again ($try of 3)" >&2
    if [ "$kind" = linux ]; then # the location entry opens on ctrl+L; what comes before it is ready is lost
      keys ctrl+l && settles "$id" && keys ctrl+a && xdotool type --delay 40 "$2"
    else # to the file's folder first, as a user goes: the dialog makes that the current folder
      xdotool windowfocus --sync "$id" type --delay 40 "Z:$(dirname "$2" | tr / '\\')" && keys Return &&
        settles "$id" && xdotool type --delay 40 "$(basename "$2")"
    fi
    settles "$id" && keys Return && until_ok 3 eval "! shown '^$1\$' || others '$1' $id >/dev/null" || continue
    other=$(others "$1" "$id") || return 0
    [ "$kind:${3:-}" = linux:new ] && until_ok 5 box_says "$(basename "$2") does not exist.\nDo you want to create it?" &&
      WINDOW=$other keys Return && until_ok 10 eval "! shown '^$1\$'" && return
    fail "over the dialog $1: $(last_box "$1")"
  done
  fail "the dialog $1 did not take $2"
}

# The screen: calibrate N finds the cells from two marker letters that the device on COMN draws (an opening
# 3 pixels upright keeps their stems and drops the caret, 2 pixels high, which Wine blinks) and blanks it;
# grid prints 25 rows of 81 cells (the 81st is where a row spills), '#' where a cell holds ink.
park='\e[25;99H' # the caret, under the cursor's cell, right of the grid (a paint below row 27 clears)
# stable COMMAND...: what COMMAND prints once it prints the same twice; a display that never settles fails.
stable() { local a b && b=$("$@") && for _ in {1..20}; do a=$b && b=$("$@") && [ "$a" = "$b" ] && echo "$b" && return; done; fail "the screen never settled"; }
still() { stable eval "import -window root ppm:$1 && md5sum <$1" >/dev/null; } # still FILE: a settled screenshot
blank() { must "$1" "send \e[J" && sync_with "$1" && must "$1" "send $park"; } # a clear screen, caret parked
ink_box() { convert "$W/diff.png" -crop "$1" +repage -format '%@\n' info: | tr 'x+' '  '; }
calibrate() {
  blank "$1" && sync_with "$1" && still "$W/blank.ppm"
  must "$1" "send \e[01;01HH\e[11;41HH$park" && sync_with "$1" && still "$W/marks.ppm" && blank "$1"
  convert "$W/blank.ppm" "$W/marks.ppm" -compose difference -composite -threshold 25% -morphology Open Rectangle:1x3 "$W/diff.png"
  local w h x y w1 h1 x1 y1 w2 h2 x2 y2 && read -r w h x y < <(ink_box 1280x1024+0+0)
  read -r w1 h1 x1 y1 < <(ink_box $((w / 2))x$h+$x+$y)
  read -r w2 h2 x2 y2 < <(ink_box $((w / 2))x$h+$((x + w / 2))+$y)
  [ "${w1}x$h1" = "${w2}x$h2" ] || fail "the marker letters differ: ${w1}x$h1 and ${w2}x$h2"
  cw=$(((w / 2 + x2 - x1 + 20) / 40)) ch=$(((h - h2 + 5) / 10))
  [ "$cw" -ge 6 ] && [ "$ch" -ge 10 ] || fail "cells of ${cw}x$ch pixels"
  gx=$((x + x1 - (cw - w1) / 2)) gy=$((y + y1 - (ch - h1) / 2)) # glyphs taken as centred in their cells
}
grid() {
  import -window root -crop $((81 * cw))x$((25 * ch))+$gx+$gy png:- | convert - +repage -colorspace gray \
    -scale '81x25!' -threshold 96% -compress none pbm:- | tail -n +3 | tr -d ' \n' | tr 01 .# | fold -w 81
}
# expect_screen N|- ROW...: once the device on COMN is in step (- while it is busy), the screen shows
# the ROWs from the top, blank beyond them.
h80=$(printf 'H%.0s' {1..80}) && ink80=${h80//H/#} # a full row, and how it shows
expect_screen() {
  local i want="" shown && { [ "$1" = - ] || sync_with "$1"; } && shift && shown=$(stable grid)
  for ((i = 1; i <= 25; i++)); do want+=$(printf '%-81s' "${!i:-}" | tr ' ' .)$'\n'; done
  [ "$shown"$'\n' = "$want" ] || fail $'the screen shows:\n'"$shown"$'\ninstead of:\n'"$want"
}
