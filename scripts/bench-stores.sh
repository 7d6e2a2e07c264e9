#!/usr/bin/env bash
# Runs bench-stores against a throw-away PostgreSQL cluster on a free loopback
# port (the one the tests use). Extra arguments go to the benchmark
# (--branches, --stores-per-branch, --days, --sales, --details, --balancer N,
# --threads N).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${KRT_BUILD_DIR:-build}
cmake --build "$BUILD_DIR" -j2 --target bench-stores krt-appserver krt-admin >/dev/null
# shellcheck source=scripts/pg-cluster.sh
source scripts/pg-cluster.sh
pg_cluster_start
trap pg_cluster_stop EXIT
[ -n "${KRT_PG_PORT:-}" ] || { echo "bench-stores: PostgreSQL is not installed"; exit 1; }
"$BUILD_DIR/bin/bench-stores" "$@"
