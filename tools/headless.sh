#!/usr/bin/env bash
# Runs a program on a virtual X screen for a few seconds, then saves a screenshot of the
# screen and prints its path: how ./run.sh shows Lumra where there is no display, and how
# tools/fresh-machine.sh --package shows the installed one.
#   tools/headless.sh PROGRAM [ARGUMENT...]
# The screenshot goes to LUMRA_SCREENSHOT (default build/screenshot.png), taken after
# LUMRA_SCREENSHOT_DELAY seconds (default 3). Needs tools/deps.sh display.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
program=${1:?usage: tools/headless.sh PROGRAM [ARGUMENT...]}
shift

screen_number=99
while [ -e "/tmp/.X${screen_number}-lock" ]; do
    screen_number=$((screen_number + 1))
done
# -noreset: Xvfb would otherwise reset when xdpyinfo or xsetroot leaves, and the viewer
# could be refused in that moment (and the grey desktop lost).
Xvfb ":$screen_number" -noreset -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
viewer_pid=
# Asks a process to end, waits for it (ten seconds at most), then ends it.
stop() {
    kill "$1" 2>/dev/null || return 0
    for _ in $(seq 100); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
# The viewer first, through its own close (which saves its options), then its screen: a
# viewer whose X server went first would report the broken connection.
cleanup() {
    if [ -n "$viewer_pid" ]; then
        stop "$viewer_pid"
    fi
    stop "$xvfb_pid"
}
trap cleanup EXIT
export DISPLAY=":$screen_number"
for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
# A grey desktop, so the black viewer window stands out in the screenshot.
xsetroot -solid '#5a6470' 2>/dev/null || true

QT_QPA_PLATFORM=xcb "$program" "$@" &
viewer_pid=$!
sleep "${LUMRA_SCREENSHOT_DELAY:-3}"
if ! kill -0 "$viewer_pid" 2>/dev/null; then
    wait "$viewer_pid" && status=0 || status=$?
    viewer_pid=
    echo "The viewer ended before the screenshot (exit status $status)." >&2
    exit 1
fi
shot="${LUMRA_SCREENSHOT:-$here/build/screenshot.png}"
mkdir -p "$(dirname "$shot")"
import -display "$DISPLAY" -window root "$shot"
echo "No display here: Lumra ran on a virtual screen. Screenshot: $shot"
