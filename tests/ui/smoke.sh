#!/bin/sh
# The real program as a user meets it. Without a display, or with one that
# cannot be reached, it must say so in one line, naming a checker command
# that works, and exit 1. Under a virtual X server it must check the FILE it
# is started with, take Ctrl+O, a cancel, a check, About and Ctrl+Q, exit
# with status 0, and leave its home and XDG folders as empty as it found
# them: it writes nothing. Skipped (77) without Xvfb, xdotool or xclip.
# Usage: smoke.sh PATH-TO-KORVANE FIXTURE-FOLDER
set -eu

fail() {
    echo "smoke: $*" >&2
    exit 1
}

if [ "${1:-}" != inner ]; then
    for display in none :97; do
        status=0
        if [ "$display" = none ]; then
            message=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$1" 2>&1) || status=$?
        else
            message=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=$display "$1" 2>&1) ||
                status=$?
        fi
        case "$status:$message" in
        *"
"*) fail "display $display: more than one line: $message" ;;
        "1:korvane: "*"; to check a settings file on a machine without one, use "*" FILE") ;;
        *) fail "display $display: status $status, output: $message" ;;
        esac
        checker=${message##*use }
        checker=${checker% FILE}
        command -v "$checker" >/dev/null 2>&1 || fail "the hint names $checker, which does not run"
    done

    for tool in xvfb-run xdotool xclip; do
        command -v "$tool" >/dev/null 2>&1 || {
            echo "smoke: skipped: $tool is missing (see scripts/debian-packages-test.txt)" >&2
            exit 77
        }
    done
    exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" inner "$1" "$2"
fi

program=$2
fixtures=$3
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
# Empty folders for everything a desktop program may write to.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/home" "$scratch/config" "$scratch/cache" "$scratch/data"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch/cache" \
    XDG_DATA_HOME="$scratch/data"

"$program" "$fixtures/clean-ships.cfg" &
pid=$!
# The caption names the file checked.
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^clean-ships\.cfg - Korvane$' |
    head -n 1) || true
[ -n "$window" ] || {
    kill "$pid" 2>/dev/null || true
    fail "no window named clean-ships.cfg - Korvane appeared"
}
# Without a window manager nothing gives the window the focus: do it here,
# then act as a user would.
xdotool windowfocus --sync "$window"

# The FILE given at start was checked: select the report, copy it, read it.
xdotool mousemove --window "$window" 100 100 click 1 key ctrl+a key ctrl+c
sleep 0.5
report=$(xclip -o -selection clipboard)
lines=$(printf '%s\n' "$report" | wc -l)
case "$lines:$report" in
"26:Checking settings..."*"This CFG file is OK.") ;;
*) fail "the file on the command line gave $lines lines: $report" ;;
esac

# The dialog, cancelled; again, with a file typed in; the About box.
dialog() {
    xdotool windowfocus --sync "$window" key ctrl+o
    sleep 1
    xdotool key --delay 20 "$@"
    sleep 0.5
}
dialog Escape
xdotool windowfocus --sync "$window"
xdotool key ctrl+o
sleep 1
xdotool type --delay 5 "$fixtures/no-ship-sections.cfg"
xdotool key Return
sleep 0.5
caption=$(xdotool getwindowname "$window")
[ "$caption" = "no-ship-sections.cfg - Korvane" ] || fail "after a check the caption is $caption"
xdotool windowfocus --sync "$window" key alt+a
sleep 0.5
xdotool key Return
sleep 0.3
xdotool windowfocus --sync "$window" key ctrl+q

tries=0
while kill -0 "$pid" 2>/dev/null; do
    tries=$((tries + 1))
    if [ "$tries" -gt 50 ]; then
        kill "$pid" 2>/dev/null || true
        fail "korvane still runs 5 seconds after Ctrl+Q"
    fi
    sleep 0.1
done
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "korvane exited with status $status"

written=$(find "$scratch" -mindepth 2 | head -n 5)
[ -z "$written" ] || fail "korvane wrote files: $written"
echo "smoke: korvane checked its FILE, took the user's commands, ended on Ctrl+Q and wrote nothing"
