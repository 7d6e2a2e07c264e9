#!/usr/bin/env bash
# Runs the product: builds it, creates the demo database (once), starts the
# application server on a free loopback port and opens the host with the
# cancellation screen. Without a display the host runs under Xvfb and saves a
# screenshot to var/krt-host.png instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

BUILD_DIR=${KRT_BUILD_DIR:-build}
BIN="$BUILD_DIR/bin"
mkdir -p var
DB=var/demo.db

if [ ! -f "$DB" ]; then
  echo "run: creating the demo database $DB"
  "$BIN/krt-admin" create-demo -d "sqlite:$DB" --to "$(date +%F)"
fi

# A demo database made before the server had users is made again: only
# create-demo makes the demo user, whose password is shorter than krt-admin
# accepts for any other.
if ! "$BIN/krt-admin" user list -d "sqlite:$DB" | grep -q "^demo"$'\t'; then
  echo "run: $DB has no demo user; creating the demo database again"
  "$BIN/krt-admin" create-demo -d "sqlite:$DB" --to "$(date +%F)" --force
fi

# shellcheck source=scripts/freeport.sh
source scripts/freeport.sh
PORT=$(free_port)
"$BIN/krt-appserver" -d "sqlite:$DB" -l 127.0.0.1 -p "$PORT" --log var/appserver.log &
SERVER_PID=$!
trap 'kill $SERVER_PID 2>/dev/null; wait $SERVER_PID 2>/dev/null || true' EXIT

for _ in $(seq 1 100); do
  (exec 3<>/dev/tcp/127.0.0.1/"$PORT") 2>/dev/null && break
  kill -0 $SERVER_PID 2>/dev/null || { echo "run: the application server did not start (see var/appserver.log)"; exit 1; }
  sleep 0.1
done
echo "run: application server on 127.0.0.1:$PORT (log: var/appserver.log)"

# The demo database's documented user (docs/appserver.md); the password goes
# through the environment, never on a command line.
export KRT_SERVER_PASSWORD=${KRT_SERVER_PASSWORD:-demo}
HOST_ARGS=(--server-host 127.0.0.1 --server-port "$PORT" --server-user "${KRT_USER:-demo}"
           --db "$DB" --branch "${KRT_BRANCH:-0001}" --open)
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "run: opening the host with the screen \"Cancelamento da Consolidação de Vendas\""
  "$BIN/krt-host" "${HOST_ARGS[@]}" "$@"
else
  echo "run: no display; running the host under Xvfb and saving a screenshot to var/krt-host.png"
  xvfb-run -a -s "-screen 0 1280x800x24" "$BIN/krt-host" "${HOST_ARGS[@]}" --screenshot var/krt-host.png "$@"
  echo "run: screenshot saved to var/krt-host.png"
fi
