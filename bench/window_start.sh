#!/usr/bin/env bash
# Korvane's window against a bare one (a QMainWindow with a menu bar and a
# QTextEdit): the time from main to the first paint, RUNS pairs in turn under
# a virtual X server, the median of the pairs' ratios. Goal: at most 1.2.
#
#   bench/window_start.sh [BUILD] [RUNS]    (default: build, 21)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
BUILD=$(realpath "${1:-build}")
RUNS=${2:-21}
if [ "${3:-}" != inner ]; then
    command -v xvfb-run >/dev/null || { echo "needs xvfb-run (Debian package: xvfb)" >&2; exit 2; }
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$BUILD" "$RUNS" inner
fi
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
: >/tmp/korvane-window-ratios.$$
for _ in $(seq "$RUNS"); do
    k=$("$BUILD/bench/korvane-window-start")
    b=$("$BUILD/bench/bare-window-start")
    echo "$k $b" >>/tmp/korvane-window-ratios.$$
done
sort -n -k1 /tmp/korvane-window-ratios.$$ | awk '{ k[NR] = $1 } END { printf "korvane: median %.1f ms\n", k[int((NR + 1) / 2)] / 1000 }'
sort -n -k2 /tmp/korvane-window-ratios.$$ | awk '{ b[NR] = $2 } END { printf "bare window: median %.1f ms\n", b[int((NR + 1) / 2)] / 1000 }'
awk '{ print $1 / $2 }' /tmp/korvane-window-ratios.$$ | sort -g |
    awk '{ r[NR] = $1 } END { m = r[int((NR + 1) / 2)]; printf "ratio, median of %d pairs: %.2f (goal: at most 1.2)\n", NR, m; exit !(m <= 1.2) }'
status=$?
rm -f /tmp/korvane-window-ratios.$$
exit $status
