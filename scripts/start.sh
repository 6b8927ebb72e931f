#!/usr/bin/env bash
# Installs what is missing, builds the agent and starts it.
#   scripts/start.sh [ARGS...]  the windowed agent qvagent for a real receiver; ARGS go to it
#                               (a file to send to the receiver, --no-browser, -bg)
#   scripts/start.sh --demo [--no-browser]
#                               the whole job with a simulated receiver and the reference
#                               service in a throw-away home (scripts/demo.sh), until Ctrl+C
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
if [ "${1:-}" = "--demo" ]; then
  shift
  "$top/scripts/build.sh" release qvagent qvagent-cli garmin-sim qv-reference-service >/dev/null
  exec "$top/scripts/demo.sh" "$@"
fi
"$top/scripts/build.sh" release qvagent >/dev/null
exec "$top/build/release/agent/app/qvagent" "$@"
