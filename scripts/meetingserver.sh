# shellcheck shell=bash
# Sourced by scripts that play against a meeting server of their own:
#   start_meeting_server SERVER_BINARY DEMO_BINARY
# writes the demo's accounts (fresh tokens) into a private temporary folder, starts the server
# on a free loopback port with a database there, waits for its readiness line and sets
# MEETING_DEMO_SERVER_ARGS (the demo's --server, --config and --ca options). The server is
# stopped by its PID and the folder removed when the calling shell exits, also on failure.

meeting_server_pid=
meeting_server_dir=

stop_meeting_server() {
    if [ -n "$meeting_server_pid" ]; then
        kill "$meeting_server_pid" 2>/dev/null || true
        wait "$meeting_server_pid" 2>/dev/null || true
        meeting_server_pid=
    fi
    [ -n "$meeting_server_dir" ] && rm -rf "$meeting_server_dir"
    meeting_server_dir=
}

start_meeting_server() {
    local server=$1 demo=$2 port='' _
    meeting_server_dir=$(umask 077 && mktemp -d)
    trap stop_meeting_server EXIT
    local dir=$meeting_server_dir
    "$demo" --write-server-config "$dir/config.json"
    "$server" --db "$dir/server.db" --config "$dir/config.json" --cert-dir "$dir" \
        >"$dir/server.out" 2>"$dir/server.err" &
    meeting_server_pid=$!
    for _ in $(seq 150); do
        port=$(sed -n 's/^listening \([0-9]*\)$/\1/p' "$dir/server.out")
        [ -n "$port" ] && break
        kill -0 "$meeting_server_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$port" ]; then
        echo "the meeting server did not start:" >&2
        cat "$dir/server.err" >&2
        return 1
    fi
    local cert
    cert=$(sed -n 's/^certificate //p' "$dir/server.out")
    echo "meeting server on 127.0.0.1:$port (pid $meeting_server_pid)"
    MEETING_DEMO_SERVER_ARGS="--server ws://127.0.0.1:$port/im --config $dir/config.json --ca $cert"
    export MEETING_DEMO_SERVER_ARGS
}
