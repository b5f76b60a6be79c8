#!/usr/bin/env bash
# Builds the demo client and plays a meeting.
#   scripts/demo.sh [ARGS]                  on the built-in simulated server and media room
#   scripts/demo.sh --with-server [ARGS]    on a meeting server started here on a free loopback
#                                           port (stopped at the end); the other people are
#                                           clients of their own
#   scripts/demo.sh --server ws://HOST:PORT/im --config FILE [--ca CERT] [ARGS]
#                                           on a running server seeded with FILE (written by
#                                           meetingdemo --write-server-config FILE)
#   scripts/demo.sh --live [N]              a meeting server, a private Janus and N clients
#                                           (default 3) of the module over the real WebRTC engine
#                                           in one meeting; screenshots, summaries and a latency
#                                           chart in demo-output/live (LIVE_SECONDS sets the
#                                           time in the call, default 10)
# With a display it opens the window (add --play to start the scenario at once); without one it
# plays the scenario headless under xvfb-run and writes screenshots and a timeline.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--live" ]; then
    clients=${2:-3}
    scripts/deps.sh
    cmake --preset default -DMEETING_BUILD_RTC_ENGINE=ON -DMEETING_BUILD_SERVER=ON
    cmake --build --preset default --target meetinglive meetingserver
    out="$PWD/demo-output/live"
    rm -rf "$out"
    # The stamped synthetic camera is what lets each client measure latency; set
    # MEETING_RTC_CAPTURE=devices to show this machine's camera and microphone instead.
    export MEETING_RTC_CAPTURE=${MEETING_RTC_CAPTURE:-synthetic}
    live=(build/default/livedemo/meetinglive --coordinate "$clients"
        --seconds "${LIVE_SECONDS:-10}" --out "$out")
    status=0
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        "${live[@]}" || status=$?
    else
        # Video outputs show no frames on the offscreen platform.
        xvfb-run -a -s "-screen 0 1600x1000x24" env QT_QPA_PLATFORM=xcb "${live[@]}" ||
            status=$?
    fi
    echo "Screenshots (client-*.png), summaries (client-*.json, logs) and latency.png in $out"
    exit $status
fi

with_server=0
args=()
for arg in "$@"; do
    case "$arg" in
        --with-server) with_server=1 ;;
        *) args+=("$arg") ;;
    esac
done

scripts/deps.sh
cmake --preset default
targets=(meetingdemo)
if [ "$with_server" = 1 ]; then targets+=(meetingserver); fi
cmake --build --preset default --target "${targets[@]}"

build=build/default
demo=$build/demo/meetingdemo
out="$PWD/demo-output"

play() {
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        "$demo" --out "$out" "$@"
    else
        xvfb-run -a -s "-screen 0 1600x1000x24" env QT_QPA_PLATFORM=xcb \
            "$demo" --headless --out "$out" "$@"
    fi
}

if [ "$with_server" = 0 ]; then
    play ${args[@]+"${args[@]}"}
    exit
fi

source scripts/meetingserver.sh
start_meeting_server "$build/server/meetingserver" "$demo"
# shellcheck disable=SC2086 # the options hold no spaces
play $MEETING_DEMO_SERVER_ARGS ${args[@]+"${args[@]}"}
