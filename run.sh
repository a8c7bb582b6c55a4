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
exec bash tools/headless.sh "$here/build/lumra" "$@"
