#!/usr/bin/env bash
# Builds Lumra and runs it on the folders given, or on the bundled sample pictures.
# Without a display it runs on a virtual X server and saves a screenshot of the screen.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    bash tools/deps.sh display
else
    bash tools/deps.sh
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build -j "$(nproc)"

if [ "$#" -eq 0 ]; then
    set -- "$here/samples"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$here/build/lumra" "$@"
fi

# No display: a virtual screen, the viewer on it for a few seconds, then a screenshot.
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

QT_QPA_PLATFORM=xcb "$here/build/lumra" "$@" &
viewer_pid=$!
sleep "${LUMRA_SCREENSHOT_DELAY:-3}"
if ! kill -0 "$viewer_pid" 2>/dev/null; then
    wait "$viewer_pid" && status=0 || status=$?
    viewer_pid=
    echo "The viewer ended before the screenshot (exit status $status)." >&2
    exit 1
fi
shot="${LUMRA_SCREENSHOT:-$here/build/screenshot.png}"
import -display "$DISPLAY" -window root "$shot"
echo "No display here: Lumra ran on a virtual screen. Screenshot: $shot"
