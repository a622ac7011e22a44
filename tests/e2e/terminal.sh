#!/usr/bin/env bash
# A session at the terminal; the Linux program runs unprivileged, as its users do.
if [ "$1" = linux ] && [ "$(id -u)" = 0 ]; then
  # Root opens a pseudo-terminal that another holds exclusively: run as nobody, from copies nobody can read.
  copy=$(mktemp -d /tmp/mirelox-e2e-nobody.XXXXXX) && trap 'rm -rf "$copy"' EXIT
  cp "$(dirname "$0")"/*.sh "$copy/" && for v in MIRELOX_BIN DEVSIM CLOSE_WINDOW; do cp "${!v}" "$copy/$v" && export $v=$copy/$v; done
  chmod -R a+rX "$copy" && setpriv --reuid=nobody --regid=nogroup --clear-groups bash "$copy/terminal.sh" linux
  exit
fi
source "$(dirname "$0")/lib.sh"
printf 'Bell() shell "echo >>%s"\n' "$W/bells" >"$W/bells.cfg" # a line for each bell rung on the display
xkbevd -cfg "$W/bells.cfg" >"$W/xkbevd.log" 2>&1 & pids+=($!)
until_ok 10 eval 'xkbbell; [ -s "$W/bells" ]' || fail "no bells heard: $(tail -n3 "$W/xkbevd.log")"

# Without MIRELOX.CFG: the fatal box, no main window, code 1.
start && first_box "$fatal" && exits 1

# COM3 cannot open: the box comes before the main window. This run keeps a record of the line.
config 3 && device 1 && device 2
LOG_TO=$W/line.txt start && first_box 'Error: COM port cannot be opened!\nSelect another COM port.'
main_window 3
# Started normally, the window asks for the normal state and for no other (under Wine, unmanaged, for none).
asks() { xprop -id "$WIN" WM_HINTS _NET_WM_STATE | grep -o 'Initial state is .*\|_NET_WM_STATE.*'; }
[ "$kind" = wine ] || [ "$(asks)" = $'Initial state is Normal State.\n_NET_WM_STATE:  not found.' ] || fail "asks for: $(asks)"
port 1

# Drawing lands where the device says, full rows to the 80th column, CP850 letters too; frozen text never shows.
calibrate 1
must 1 "send \e[02;01H$h80\e[03;10HHH\e[05;04HMM\rW\e[08;20HQ\e[BR\e[A\e[CS\e[D\e[D\e[D\e[B\e[BT"
must 1 "send \e[12;01H\e[FZZZZ\r\nZZ\e[UV\x86\x91\x9b$park"
expect_screen 1 '' "$ink80" '.........##' '' '...##' '#' '' '...................#..#' '....................#' '....................#' '' '####'
# Each code page 850 letter draws as its Windows code does (pixel for pixel), each unlike the others and a.
blank 1 && must 1 "send \e[01;01H\x86\x8F\x91\x92\x9B\x9Da\e[02;01H\xE5\xC5\xE6\xC6\xF8\xD8a$park" && sync_with 1
still "$W/shot.ppm" && row() { for c in {0..6}; do convert "$W/shot.ppm" -crop ${cw}x$ch+$((gx + c * cw))+$((gy + $1 * ch)) ppm:- | md5sum; done; }
[ "$(row 0)" = "$(row 1)" ] && [ "$(row 0 | sort -u | wc -l)" = 7 ] || fail $'cells of the letters and a:\n'"$(row 0)"$'\nand of their Windows codes:\n'"$(row 1)"
# The identification query is answered (any fifth byte); a broken one is not, and draws nothing.
must 1 'send \e\xFF\x7F\x08\x0C\x41' && got 1 'MIRELOX     ' 12
must 1 'send \e\xFF\x7F\x09' && must 1 'silence 1000'
expect_screen 1 '#######' '#######'

# Keys reach the device as typed, the bytes of one key 5 ms apart.
keys a B Return space Up Down Right Left && got 1 'aB\r \e[A\e[B\e[C\e[D'
keys BackSpace && got 1 '\e[D \e[D' 7
keys ctrl+j ctrl+m Tab Escape && got 1 '\n\r' # Tab and Escape send nothing
# The page and editing keys, on the keypad too; Home and End ring the bell, Insert and Delete send nothing.
: >"$W/bells" && keys Prior Next Home End Insert Delete KP_Prior KP_Next KP_Home KP_End KP_Up KP_Down KP_Right KP_Left
got 1 '<>\e[H\e[K<>\e[H\e[K\e[A\e[B\e[C\e[D' && until_ok 5 eval '[ $(wc -l <"$W/bells") = 4 ]' || fail "$(wc -l <"$W/bells") bells"
# Ctrl+Backspace: Backspace's bytes, then DEL as its character (which Wine's TranslateMessage omits).
[ "$kind" = wine ] || { keys ctrl+BackSpace && got 1 '\e[D \e[D\x7f'; }
setxkbmap no || fail "no Norwegian keyboard layout"
keys aring && got 1 '\x86' && must 1 'silence 500'
setxkbmap us || fail "the US keyboard layout did not come back"

# A text page from row 2 down, each row blanked first, lines of 80 to the 80th column, held open elsewhere;
# a missing page reported; the page stays after a box and About (Alt+? and Return, Help and Escape) close.
{ printf 'Never shown\r\nHHHH\r\nMM\n\nWWWWW\n' && printf "$h80\r\n%.0s" {1..18} && printf 'no line end'; } >"$P/TXT00042.KVB"
if [ "$kind" = linux ]; then (exec 9<"$P/TXT00042.KVB" && flock -x 9 && echo held && exec sleep 99) >"$W/held" &
else "$WINE" "$HOLD_OPEN_EXE" "Z:${P//\//\\}\\TXT00042.KVB" >"$W/held" 2>>"$W/wine.log" & fi
pids+=($!) && until_ok 20 grep -qs held "$W/held" || fail "the page could not be held open"
page() { expect_screen 1 '#######' '####' '##' '' '#####' $(printf "$ink80 %.0s" {1..18}); }
must 1 "send \e[03;01HZZZZZZZZ\e[04;01HYYYY\e[X00042$park" && page
must 1 'send \e[X00099' && box 'Text page missing: -TXT00099-' && page
keys alt+question && closes 'About Mirelox' Return && page
keys alt+h a && closes 'About Mirelox' Escape
# ... and after the window has grown (under Wine a window that no manager handles is left alone).
[ "$kind" = wine ] || { xdotool windowsize "$WIN" 1150 780 && page; }

# Ports: F1 on the open port opens it again; F2 and F1 switch, and the bytes go where the title says.
port 1 && typed 1 k
port 2 && typed 2 x && must 1 'silence 300' && sync_with 2
port 1 && blank 1 && must 1 "send \e[02;02HMM$park" && expect_screen 1 '' '.##'
typed 1 y && must 2 'silence 300'
keys F6 && box 'Error: COM6 port cannot be opened!' # reported, and then no port is open
keys z && must 1 'silence 500'
port 1 && typed 1 w

# Idle: a silent device and an untouched window cost (almost) no processor time.
before=$(cpu_ticks) && sleep 5 && used=$(($(cpu_ticks) - before))
[ "$used" -le 5 ] || fail "idle for 5 s, the program used $used/100 s of processor time (more than 1 % of a core)"
sync_with 1
if [ "$kind" = linux ]; then "$CLOSE_WINDOW" "$WIN"; else keys alt+f x; fi # the close button; File > Exit
exits 0
# The record of the line holds exactly what each device sent (RX) and received (TX), in order.
for n in 1 2; do
  must $n "transcript $W/line$n.txt"
  awk -v port="COM$n" '$3 == "--" && $5 == "opened" { on = $4 == port }
    on && ($3 == "RX" || $3 == "TX") { for (i = 4; i <= NF && $i !~ /^\|/; i++) hex[$3] = hex[$3] $i }
    END { print "sent " hex["RX"]; print "received " hex["TX"] }' "$W/line.txt" >"$W/record$n.txt"
  diff "$W/record$n.txt" "$W/line$n.txt" >&2 || fail "COM$n: the record (<) is not what the device sent and received (>)"
done
