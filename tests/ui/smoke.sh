#!/bin/sh
# Starts the real program under a virtual X server, waits for its main
# window and ends it with Ctrl+Q: it has to exit with status 0. Without a
# display it has to refuse to start with one line and status 1.
# Usage: smoke.sh PATH-TO-KORVANE
set -eu

if [ "${1:-}" != inner ]; then
    # Without any display it says so in one line instead of failing in Qt.
    status=0
    message=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$1" 2>&1) || status=$?
    case "$status:$message" in
    "1:korvane: no display found; "*"use korvane-check FILE") ;;
    *)
        echo "smoke: without a display: status $status, output: $message" >&2
        exit 1
        ;;
    esac

    for tool in xvfb-run xdotool; do
        command -v "$tool" >/dev/null 2>&1 || {
            echo "smoke: skipped: $tool is missing (see scripts/debian-packages.txt)" >&2
            exit 77
        }
    done
    exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" inner "$1"
fi

program=$2
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
"$program" &
pid=$!

if ! window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Korvane$' | head -n 1) ||
    [ -z "$window" ]; then
    echo "smoke: no window named Korvane appeared" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
fi

# Without a window manager nothing gives the window the focus: do it here,
# then press Ctrl+Q as a user would.
xdotool windowfocus --sync "$window"
xdotool key ctrl+q

tries=0
while kill -0 "$pid" 2>/dev/null; do
    tries=$((tries + 1))
    if [ "$tries" -gt 50 ]; then
        echo "smoke: korvane still runs 5 seconds after Ctrl+Q" >&2
        kill "$pid" 2>/dev/null || true
        exit 1
    fi
    sleep 0.1
done

status=0
wait "$pid" || status=$?
if [ "$status" -ne 0 ]; then
    echo "smoke: korvane exited with status $status" >&2
    exit 1
fi
echo "smoke: korvane showed its window and ended on Ctrl+Q"
