#!/usr/bin/env bash
# Installs what is missing, builds the agent and starts it.
#   scripts/start.sh [ARGS...]  for a real receiver: ARGS go to qvagent-cli (none: show the settings)
#   scripts/start.sh --demo     the whole job with a simulated receiver and the reference
#                               service in a throw-away home (scripts/demo.sh), until Ctrl+C
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
if [ "${1:-}" = "--demo" ]; then
  shift
  "$top/scripts/build.sh" release qvagent-cli garmin-sim qv-reference-service >/dev/null
  # The windowed agent joins the demo once it is part of the build.
  if ninja -C "$top/build/release" -t targets all 2>/dev/null | grep -q '^qvagent:'; then
    "$top/scripts/build.sh" release qvagent >/dev/null
  fi
  exec "$top/scripts/demo.sh" "$@"
fi
"$top/scripts/build.sh" release qvagent-cli >/dev/null
if [ $# -eq 0 ]; then set -- settings; fi
exec "$top/build/release/agent/cli/qvagent-cli" "$@"
