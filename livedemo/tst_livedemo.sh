#!/usr/bin/env bash
# Two clients in a live call for a few seconds: each must have displayed the other's frames,
# the host must have seen the guest active and then muted (both only the server reports, as
# Janus carries media only), and the latency chart must be drawn. Exits 77 (skipped) where no
# call can run.
set -uo pipefail
program=$1
out=$2
rm -rf "$out"
# Latency is read from the synthetic camera's stamps, so a real camera must not stand in.
export MEETING_RTC_CAPTURE=synthetic
run=("$program" --coordinate 2 --seconds 4 --out "$out")
if [ -z "${DISPLAY:-}" ]; then
    if ! command -v xvfb-run >/dev/null; then
        echo "SKIP: xvfb-run is not installed (video outputs show nothing offscreen)"
        exit 77
    fi
    run=(xvfb-run -a -s "-screen 0 1280x800x24" env QT_QPA_PLATFORM=xcb "${run[@]}")
fi
"${run[@]}"
rc=$?
if [ $rc = 77 ]; then
    echo "SKIP: Janus or GStreamer's WebRTC elements are missing"
    exit 77
fi
fail() {
    echo "FAIL: $*"
    tail -n 20 "$out"/client-*.log
    exit 1
}
[ $rc = 0 ] || fail "the demo exited with $rc"
for pair in 101:102 102:101; do
    me=${pair%:*} other=${pair#*:}
    grep -q "\"framesFrom\":{[^}]*\"$other\":[1-9]" "$out/client-$me.json" ||
        fail "client $me displayed no frame of $other"
    [ -s "$out/client-$me.png" ] || fail "no screenshot of client $me"
done
# The session's snapshot lines: "attendees <uid>:<voice muted>,...".
grep -q "attendees 101:0,102:0 " "$out/client-101.log" ||
    fail "client 101 never saw 102 active with its microphone on"
grep -q "attendees 101:0,102:[1-9] " "$out/client-101.log" ||
    fail "client 102's mute did not reach client 101"
[ -s "$out/latency.png" ] || fail "no latency chart"
echo "PASS: both clients displayed each other's video; the server relayed presence and a mute;" \
    "chart drawn"
