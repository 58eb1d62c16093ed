#!/bin/sh
# korvane.exe as a user meets it, under Wine and a virtual X server. It must
# check the FILE it is started with and name it in its caption, check it
# again when it changes on disk, open and cancel its file dialog, say in one
# red line why a missing path cannot be checked (and check it once it is
# there), check again on F5 and when a file an arena's .conf includes
# changes, show its About box (Escape leaves it open, Enter closes it), end on
# Ctrl+Q with status 0, and leave nothing of its own in Wine's registry.
# The report is read back as a user copies it: Ctrl+A, Ctrl+C in the pane.
# Skipped (77) without wine, Xvfb, xdotool or xclip.
# Usage: window.sh PATH-TO-KORVANE.EXE FIXTURE-FOLDER EXPECTED-FOLDER
# KORVANE_WINEPREFIX names a prepared Wine prefix to use instead of a fresh
# one; KORVANE_SHOTS a folder for screenshots.
set -eu

fail() {
    echo "window: $*" >&2
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
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1 || fail "wineboot could not prepare $WINEPREFIX"

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

# F5 checks again, also a change that keeps the size and the time, which
# the watch on the disk does not see.
touch -r "$missing" "$scratch/stamp"
sed '0,/SuperTime=1/s//SuperTime=0/' "$fixtures/clean-ships.cfg" >"$missing"
touch -r "$scratch/stamp" "$missing"
sleep 2.5
expect_report "$reports/clean-ships.txt" "" "a change of the same size and time, unseen"
xdo windowfocus --sync "$window" key F5
expect_report "$reports/super-time-0.txt" "" "F5"

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
