#!/usr/bin/env bash
# Installs, builds, starts a throw-away PostgreSQL on a free loopback port and
# runs every test (SQLite ones and PostgreSQL ones). Headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

BUILD_DIR=${KRT_BUILD_DIR:-build}
export QT_QPA_PLATFORM=offscreen

# shellcheck source=scripts/pg-cluster.sh
source scripts/pg-cluster.sh
pg_cluster_start
trap pg_cluster_stop EXIT
# And a throw-away Firebird 3 server (KRT_FB_*) for the Firebird tests.
# shellcheck source=scripts/fb-server.sh
source scripts/fb-server.sh
fb_server_start
trap 'pg_cluster_stop; fb_server_stop' EXIT

ctest --test-dir "$BUILD_DIR" --output-on-failure -j2 "$@"
