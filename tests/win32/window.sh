#!/bin/sh
# korvane.exe as a user meets it, under Wine and a virtual X server, on a
# dark window colour (set in the prefix's registry, as a dark or high-contrast
# theme sets it). It must refuse a second FILE as the Linux window does;
# name the file in its caption by the same rules (a name ending in '\', a
# control character); check the FILE it is started with, showing red and
# blue made readable on the dark colour; check it again when it changes on
# disk, but not for a change of the same size and time (while the watch
# still sees the next one); open and cancel its file dialog; say in one red
# line why a missing path cannot be checked (and check it once it is
# there); check again on F5, when a file an arena's .conf includes changes,
# and when a file is made that the server would now find first, but not
# when a download lands beside it; show its About box (Escape leaves it
# open, Enter closes it); end on Ctrl+Q with status 0; and leave nothing of
# its own in Wine's registry.
# The report is read back as a user copies it: Ctrl+A, Ctrl+C in the pane.
# Skipped (77) without wine, Xvfb, xdotool or xclip.
# Usage: window.sh PATH-TO-KORVANE.EXE FIXTURE-FOLDER EXPECTED-FOLDER
# KORVANE_WINEPREFIX names a prepared Wine prefix to use instead of a fresh
# one; KORVANE_SHOTS a folder for screenshots.
set -eu

fail() {
    echo "window: $*" >&2
    [ -z "${KORVANE_SHOTS:-}" ] || import -window root "$KORVANE_SHOTS/failure.png" || true
    exit 1
}

if [ "${1:-}" != inner ]; then
    for tool in wine wineboot wineserver xvfb-run xdotool xclip; do
        command -v "$tool" >/dev/null 2>&1 || {
            echo "window: skipped: $tool is missing" >&2
            exit 77
        }
    done
    exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" inner "$1" "$2" "$3"
fi

program=$2
fixtures=$3
reports=$4
scratch=$(mktemp -d)
# Wine reads file names in the locale's encoding; a fresh prefix needs no
# .NET or HTML engine.
export LC_ALL=C.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX="${KORVANE_WINEPREFIX:-$scratch/prefix}"
pid=
# The system's window colours, Wine's defaults when the test is done.
colours() {
    wine reg add 'HKCU\Control Panel\Colors' /v Window /t REG_SZ /d "$1" /f >/dev/null 2>&1 &&
        wine reg add 'HKCU\Control Panel\Colors' /v WindowText /t REG_SZ /d "$2" /f >/dev/null 2>&1
}
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    [ -z "${KORVANE_WINEPREFIX:-}" ] || colours '255 255 255' '0 0 0' || true
    wineserver -k 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1 || fail "wineboot could not prepare $WINEPREFIX"
# Windows' own dark grey under white text.
colours '32 32 32' '255 255 255' || fail "could not set the window colours"
wineserver -w

# xdotool, bounded: a window that cannot take the focus must not hang the test.
xdo() {
    timeout 10 xdotool "$@"
}

shot() {
    [ -z "${KORVANE_SHOTS:-}" ] || import -window root "$KORVANE_SHOTS/$1.png"
}

# The first visible window whose name matches, waited for up to 30 s.
window_named() {
    tries=0
    while :; do
        found=$(xdo search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
        [ -n "$found" ] && { echo "$found"; return 0; }
        tries=$((tries + 1))
        [ "$tries" -le 150 ] || return 1
        sleep 0.2
    done
}

# Waits up to 10 s until no visible window's name matches.
gone() {
    tries=0
    while xdo search --onlyvisible --name "$1" >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ "$tries" -le 50 ] || return 1
        sleep 0.2
    done
}

# The pane's whole text, as Ctrl+A, Ctrl+C copy it, without CRs.
report() {
    xdo windowfocus --sync "$window" mousemove --window "$window" 100 100 click 1 \
        key ctrl+a key ctrl+c
    sleep 0.3
    xclip -o -selection clipboard | tr -d '\r' >"$scratch/copied"
    # Every line of a report ends with a line break. Wine sometimes hands
    # the X clipboard one stray byte past the text (the last one typed
    # elsewhere): an unended last line is that, and is dropped.
    if [ -s "$scratch/copied" ] && [ "$(tail -c 1 "$scratch/copied" | od -An -c | tr -d ' ')" != '\n' ]; then
        sed '$d' "$scratch/copied"
    else
        cat "$scratch/copied"
    fi
}

# Waits up to 15 s for the report to be `expected` (the text of file $1,
# or the text $2); fails naming what it got instead.
expect_report() {
    if [ -n "$1" ]; then expected=$(cat "$1"); else expected=$2; fi
    tries=0
    while :; do
        got=$(report)
        [ "$got" = "$expected" ] && return 0
        tries=$((tries + 1))
        [ "$tries" -le 15 ] || fail "$3: the report is
$got
instead of
$expected"
        sleep 1
    done
}

# Sends key $2 to window $1 of the korvane.exe whose process is $3, waits
# until it ends and sets `code` to its status. (Not in a subshell, which
# could not reap it.)
end_with() {
    # A window just shown may not take keys yet under Wine: the key again
    # every 2 s.
    tries=0
    while [ -n "$(ps -o stat= -p "$3" 2>/dev/null | grep -v Z)" ]; do
        [ $((tries % 20)) -ne 0 ] || xdo windowfocus --sync "$1" key "$2" 2>/dev/null || true
        tries=$((tries + 1))
        [ "$tries" -le 150 ] || fail "korvane.exe still runs 15 seconds after $2"
        sleep 0.1
    done
    code=0
    wait "$3" || code=$?
}

# A second FILE: refused in a box (with the Linux window's words, from the
# window core), and status 2; no window opens.
wine "$program" one.cfg two.cfg >/dev/null 2>&1 &
refused=$!
box=$(window_named '^Korvane$') || fail "a second FILE opened no box named Korvane"
end_with "$box" Return "$refused"
[ "$code" -eq 2 ] || fail "a second FILE ended with status $code, not 2"

# The caption's rules: the last part of a path that ends in '\', and a
# control character quoted as reports quote it.
mkdir "$scratch/zone-folder"
wine "$program" "$(winepath -w "$scratch/zone-folder")\\" >/dev/null 2>&1 &
other=$!
found=$(window_named '^zone-folder - Korvane$') || fail "no window named 'zone-folder - Korvane'"
end_with "$found" ctrl+q "$other"
[ "$code" -eq 0 ] || fail "korvane.exe on a folder ended with status $code"
tab=$(printf '\t')
wine "$program" "$(winepath -w "$scratch")\\a${tab}b.cfg" >/dev/null 2>&1 &
other=$!
found=$(window_named "^'a'\\\$'\\\\011''b\\.cfg' - Korvane\$") ||
    fail "no window named 'a'\$'\\011''b.cfg' - Korvane"
end_with "$found" ctrl+q "$other"
[ "$code" -eq 0 ] || fail "korvane.exe on a name with a tab ended with status $code"

# A name beyond ASCII, as Windows users give them.
ships="$scratch/Schiffe-süd.cfg"
cp "$fixtures/clean-ships.cfg" "$ships"
wine "$program" "$ships" >"$scratch/wine.log" 2>&1 &
pid=$!

# The FILE given at start: checked, and named in the caption.
window=$(window_named '^Schiffe-süd.cfg - Korvane$') ||
    fail "no window named 'Schiffe-süd.cfg - Korvane' appeared"
expect_report "$reports/clean-ships.txt" "" "the file on the command line"

# Changed on disk: checked again.
cp "$fixtures/no-ship-sections.cfg" "$ships"
expect_report "$reports/no-ship-sections.txt" "" "the file changed on disk"
shot findings
# The report's red and blue, as the pane copies them, made readable on the
# dark grey (4.5:1, the hue kept); plain lines keep the system's text colour.
xclip -o -selection clipboard -t text/rtf 2>/dev/null | tr -d '\000' >"$scratch/copied.rtf" || true
grep -q 'colortbl;\\red118\\green118\\blue255;\\red255\\green53\\blue53;' "$scratch/copied.rtf" ||
    fail "the report's colours on the dark window colour are $(grep -ao 'colortbl[^}]*' "$scratch/copied.rtf")"

# The file dialog, opened and cancelled: nothing changes.
xdo windowfocus --sync "$window" key ctrl+o
dialog=$(window_named '^Open$') || fail "Ctrl+O opened no window named Open"
shot open-dialog
xdo windowfocus --sync "$dialog" key Escape
gone '^Open$' || fail "Escape left the file dialog open"
expect_report "$reports/no-ship-sections.txt" "" "after the cancelled dialog"

# A missing path, typed in the dialog: one line that says why.
missing="$scratch/missing.cfg"
xdo windowfocus --sync "$window" key ctrl+o
dialog=$(window_named '^Open$') || fail "Ctrl+O opened no window named Open"
xdo windowfocus --sync "$dialog" type --delay 5 "$(winepath -w "$missing")"
xdo key --window "$dialog" Return
gone '^Open$' || fail "Return left the file dialog open"
window=$(window_named '^missing.cfg - Korvane$') ||
    fail "the caption did not become 'missing.cfg - Korvane'"
expect_report "" "$(winepath -w "$missing"): No such file or directory" "the missing path"
# ... and checked once it is there.
cp "$fixtures/clean-ships.cfg" "$missing"
expect_report "$reports/clean-ships.txt" "" "the missing file once there"

# A change that keeps the size and the time is not seen; the next change
# is (the watch is alive); F5 checks again whatever changed.
touch -r "$missing" "$scratch/stamp"
sed '0,/SuperTime=1/s//SuperTime=0/' "$fixtures/clean-ships.cfg" >"$missing"
touch -r "$scratch/stamp" "$missing"
sleep 2.5
expect_report "$reports/clean-ships.txt" "" "a change of the same size and time, unseen"
touch "$missing"
expect_report "$reports/super-time-0.txt" "" "the next change, seen"
touch -r "$missing" "$scratch/stamp"
cp "$fixtures/clean-ships.cfg" "$missing"
touch -r "$scratch/stamp" "$missing"
sleep 2.5
expect_report "$reports/super-time-0.txt" "" "a change back of the same size and time, unseen"
xdo windowfocus --sync "$window" key F5
expect_report "$reports/clean-ships.txt" "" "F5"

# An arena's .conf file, chosen by its Windows path: checked again when a
# file it includes changes.
cp -R "$(dirname "$0")/../../examples/zone" "$scratch/zone"
xdo windowfocus --sync "$window" key ctrl+o
dialog=$(window_named '^Open$') || fail "Ctrl+O opened no window named Open"
xdo windowfocus --sync "$dialog" type --delay 5 "$(winepath -w "$scratch/zone/arenas/duel/arena.conf")"
xdo key --window "$dialog" Return
gone '^Open$' || fail "Return left the file dialog open"
window=$(window_named '^arena.conf - Korvane$') ||
    fail "the caption did not become 'arena.conf - Korvane'"
expect_report "$reports/zone-duel.txt" "" "the arena's file"
sed 's/^SuperTime=6000$/SuperTime=0/' "$scratch/zone/conf/ships/warbird.conf" >"$scratch/edited"
cat "$scratch/edited" >"$scratch/zone/conf/ships/warbird.conf"
expect_report "$reports/zone-duel-super-time-0.txt" "" "an included file changed"
# A download beside the arena's file: the report is not checked again (the
# selection made by Ctrl+A survives, so Ctrl+C alone copies it again).
report >/dev/null
printf 'PK' >"$scratch/zone/arenas/duel/download.zip"
sleep 2.5
printf '' | xclip -selection clipboard
xdo windowfocus --sync "$window" key ctrl+c
sleep 0.3
[ -n "$(xclip -o -selection clipboard 2>/dev/null)" ] || fail "a download beside the arena's file checked it again"
# A file the server now finds first, in a folder made for it: the arena's
# own ships/warbird.conf shadows the zone's (as it was before the edit).
mkdir "$scratch/zone/arenas/duel/ships"
sed 's/^SuperTime=0$/SuperTime=6000/' "$scratch/edited" >"$scratch/zone/arenas/duel/ships/warbird.conf"
expect_report "$reports/zone-duel.txt" "" "a file made that shadows the one read"

# The About box: Escape leaves it open, Enter closes it.
xdo windowfocus --sync "$window" key alt+a
box=$(window_named '^About Korvane$') || fail "Alt+A opened no window named 'About Korvane'"
shot about-box
xdo windowfocus --sync "$box" key Escape
sleep 4 # a closed box leaves the screen up to about 2 s later under Wine
xdo search --onlyvisible --name '^About Korvane$' >/dev/null || fail "Escape closed the About box"
xdo windowfocus --sync "$box" key Return
gone '^About Korvane$' || fail "Enter left the About box open"

# Ctrl+Q ends the program.
xdo windowfocus --sync "$window" key ctrl+q
tries=0
while kill -0 "$pid" 2>/dev/null; do
    tries=$((tries + 1))
    [ "$tries" -le 100 ] || fail "korvane.exe still runs 10 seconds after Ctrl+Q"
    sleep 0.1
done
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "korvane.exe exited with status $status"

# Nothing of Korvane's in the registry (Wine writes it out when it stops).
wineserver -w
written=$(grep -il -e korvane -e 'Schiffe' -e 'missing\.cfg' -e 'arena\.conf' "$WINEPREFIX"/*.reg || true)
[ -z "$written" ] || fail "korvane.exe wrote to the registry: $written"
echo "window: korvane.exe checked its FILE and again on change, took the dialog, the About box and Ctrl+Q, and wrote nothing"
