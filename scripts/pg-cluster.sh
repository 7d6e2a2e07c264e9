#!/usr/bin/env bash
# A throw-away PostgreSQL cluster on a free loopback port for the tests.
# Source it, then call pg_cluster_start / pg_cluster_stop. Exports
# KRT_PG_HOST, KRT_PG_PORT, KRT_PG_USER, KRT_PG_DB for the tests. It loads
# pg_stat_statements (shipped with Debian's postgresql package), which
# bench-stores --balancer reads for each method's database time.

# shellcheck source=scripts/freeport.sh
source "$(dirname "${BASH_SOURCE[0]}")/freeport.sh"

pg_bin() { ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1; }

as_postgres() {
  if [ "$(id -u)" -eq 0 ]; then su postgres -s /bin/bash -c "$*"; else bash -c "$*"; fi
}

pg_cluster_start() {
  local bin; bin=$(pg_bin)
  if [ -z "$bin" ]; then echo "pg-cluster: PostgreSQL not installed; PostgreSQL tests will be skipped"; return 0; fi
  PG_DIR=$(mktemp -d /tmp/krt-pg.XXXXXX)
  chmod 755 "$PG_DIR"
  [ "$(id -u)" -eq 0 ] && chown postgres "$PG_DIR"
  as_postgres "$bin/initdb -D $PG_DIR/data -A trust -U postgres >/dev/null"
  # The port is free when chosen, but something else may bind it before
  # PostgreSQL does: then it does not start, and another port is tried.
  local attempt
  for attempt in 1 2 3 4 5; do
    KRT_PG_PORT=$(free_port)
    as_postgres "$bin/pg_ctl -D $PG_DIR/data -o '-p $KRT_PG_PORT -k $PG_DIR -c listen_addresses=127.0.0.1 -c fsync=off -c shared_preload_libraries=pg_stat_statements' -l $PG_DIR/log -w start >/dev/null" && break
    [ "$attempt" -lt 5 ] || { cat "$PG_DIR/log" >&2; return 1; }
  done
  export KRT_PG_HOST=127.0.0.1 KRT_PG_PORT KRT_PG_USER=postgres KRT_PG_DB=postgres PG_DIR
  echo "pg-cluster: PostgreSQL on 127.0.0.1:$KRT_PG_PORT"
}

pg_cluster_stop() {
  [ -n "${PG_DIR:-}" ] || return 0
  local bin; bin=$(pg_bin)
  as_postgres "$bin/pg_ctl -D $PG_DIR/data -m immediate stop >/dev/null" || true
  rm -rf "$PG_DIR"
}
