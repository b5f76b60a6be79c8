#!/usr/bin/env bash
# with_server.sh SERVER_BINARY DEMO_BINARY COMMAND...
# Runs COMMAND with MEETING_DEMO_SERVER_ARGS naming a meeting server started for it, which is
# stopped by its PID when COMMAND ends, also on failure.
set -euo pipefail
source "$(dirname "$0")/../../scripts/meetingserver.sh"
start_meeting_server "$1" "$2"
shift 2
"$@"
