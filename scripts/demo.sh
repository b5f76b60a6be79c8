#!/usr/bin/env bash
# Builds the demo client and plays a meeting on its simulated server and media room.
# With a display it opens the window (add --play to start the scenario at once); without one it
# plays the scenario headless under xvfb-run and writes screenshots and a timeline.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset default
cmake --build --preset default --target meetingdemo

demo=build/default/demo/meetingdemo
out="$PWD/demo-output"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$demo" --out "$out" "$@"
fi
xvfb-run -a -s "-screen 0 1600x1000x24" env QT_QPA_PLATFORM=xcb "$demo" --headless --out "$out" "$@"
