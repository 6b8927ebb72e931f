#!/usr/bin/env bash
# The agent's main job with no receiver and no account: a simulated receiver
# holding a week of activities, the reference web service on loopback with its
# inbox page, and the agent configured to both in a throw-away home. Runs until
# Ctrl+C (or until the windowed agent ends); then stops everything it started
# and removes the home. scripts/start.sh --demo builds first and comes here.
#   scripts/demo.sh [--no-browser]  --no-browser: the agent prints its start page's
#                                   address instead of opening a browser
#
# Environment: QV_DEMO_BUILD  the build folder with the programs (default build/release)
#              QV_DEMO_PORT   the service's port (default: any free one)
#              QV_DEMO_AGENT  the windowed agent (default: the build's qvagent); when it is
#                             not there, qvagent-cli synchronises once instead
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_DEMO_BUILD:-$top/build/release}
cli="$build/agent/cli/qvagent-cli"
agent=${QV_DEMO_AGENT:-$build/agent/app/qvagent}
sim="$build/tests/sim/garmin-sim"
service="$build/tests/service/qv-reference-service"
scenario="$top/tests/data/sim/demo_week.json"
browser=yes
case "${1:-}" in
  "") ;;
  --no-browser) browser=no ;;
  *) echo "usage: scripts/demo.sh [--no-browser]" >&2; exit 2 ;;
esac
# Without a display there is no browser to open.
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || browser=no

for program in "$cli" "$sim" "$service"; do
  [ -x "$program" ] || { echo "demo: $program is missing; run scripts/start.sh --demo" >&2; exit 1; }
done

home=$(mktemp -d "${TMPDIR:-/tmp}/tavelnor-demo.XXXXXX")
pids=()
stop() {
  trap - EXIT INT TERM HUP
  local pid tries=0
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  # Five seconds to end on their own, then they are ended.
  while [ "$tries" -lt 50 ] && kill -0 "${pids[@]}" 2>/dev/null; do
    sleep 0.1
    tries=$((tries + 1))
  done
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$home"
  echo "Demo stopped; the throw-away home is removed."
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Everything the agent reads and writes stays in the throw-away home.
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
export XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$home/inbox"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Waits until a program's first line of output names what it offers.
first_line() {
  local file=$1 pid=$2 tries=0
  while [ ! -s "$file" ]; do
    kill -0 "$pid" 2>/dev/null || { echo "demo: $(basename "$3") ended at start:" >&2; cat "$file" >&2; return 1; }
    tries=$((tries + 1))
    [ "$tries" -lt 200 ] || { echo "demo: $(basename "$3") did not start" >&2; return 1; }
    sleep 0.05
  done
  head -n 1 "$file"
}

# Over USB the receiver hands out runs, laps and the profile as well as tracks.
"$sim" --scenario "$scenario" --usb "$XDG_RUNTIME_DIR/receiver.socket" >"$home/receiver.out" 2>&1 &
pids+=($!)
port=$(first_line "$home/receiver.out" $! "$sim")

"$service" --port "${QV_DEMO_PORT:-0}" --dir "$home/inbox" >"$home/service.out" 2>&1 &
pids+=($!)
service_pid=$!
address=$(first_line "$home/service.out" $! "$service" | grep -o 'http://127\.0\.0\.1:[0-9]*' | head -n 1)
[ -n "$address" ] || { echo "demo: the reference service gave no address" >&2; exit 1; }
inbox="$address/trail/inbox/view.qv"

settings() { "$cli" settings set "$@" >/dev/null; }
settings Device Ports "$port"
settings Server Name "${address#http://}"
settings Server AnnouncementsUrl "$address/agent/announcement.qv?username=%s"
settings Server AccountName demo
settings Server Email demo@example.org

echo "Tavelnor Agent demo"
echo "  simulated receiver: $port (a week of runs and rides)"
echo "  reference service:  $address"
echo "  throw-away home:    $home"
echo "  inbox:              $inbox"

if [ -x "$agent" ]; then
  # The windowed agent opens the browser on its start page, or prints its address.
  if [ "$browser" = yes ]; then "$agent" & else "$agent" --no-browser & fi
  pids+=($!)
  echo "Close the agent or press Ctrl+C to stop the demo."
  wait "${pids[-1]}" || true
else
  "$cli" sync
  echo
  "$cli" messages
  echo
  echo "What arrived is listed in the inbox: $inbox"
  echo "Press Ctrl+C to stop the demo."
  wait "$service_pid" || true
fi
