#!/usr/bin/env bash
# Installs what is missing, builds the agent and starts it. With no
# arguments it shows the settings; any arguments go to qvagent-cli.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" release qvagent-cli >/dev/null
if [ $# -eq 0 ]; then set -- settings; fi
exec "$top/build/release/agent/cli/qvagent-cli" "$@"
