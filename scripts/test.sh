#!/usr/bin/env bash
# Installs, builds, starts a throw-away PostgreSQL on a free loopback port and
# runs every test (SQLite ones and PostgreSQL ones), headless. Then runs them
# all once more under AddressSanitizer and UndefinedBehaviorSanitizer, runs
# the transport's and the application server's tests under ThreadSanitizer,
# and fuzzes the packet, call and reply decoders for a minute each.
# KRT_SANITIZERS=0, KRT_TSAN=0 or KRT_FUZZ_SECONDS=0 skip those steps.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

BUILD_DIR=${KRT_BUILD_DIR:-build}
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
CCACHE_LAUNCHERS=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
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

# The sanitizer pass: a lighter build type (no optimisation, no debug
# information, no benchmarks) keeps it within the CI budget. Leak reports are
# off: Qt's platform libraries keep caches until exit.
if [ "${KRT_SANITIZERS:-1}" != 0 ]; then
  SAN_DIR=${KRT_SANITIZE_BUILD_DIR:-build-sanitize}
  cmake -S . -B "$SAN_DIR" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0" \
    -DKRT_SANITIZE=address,undefined -DKRT_BENCHMARKS=OFF "${CCACHE_LAUNCHERS[@]}" >/dev/null
  echo "test: the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer ($SAN_DIR)"
  cmake --build "$SAN_DIR" -j2
  ASAN_OPTIONS=detect_leaks=0:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$SAN_DIR" --output-on-failure -j2 "$@"
fi

if [ "${KRT_TSAN:-1}" != 0 ]; then
  echo "test: the server's tests under ThreadSanitizer (build-tsan)"
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKRT_SANITIZE=thread \
    "${CCACHE_LAUNCHERS[@]}" >/dev/null
  cmake --build build-tsan -j2 --target wire_transport_test test_appserver_sqlite
  TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan -R '^(wire_transport_test|test_appserver_sqlite)$' --output-on-failure
fi

if [ "${KRT_FUZZ_SECONDS:-60}" != 0 ]; then
  bash scripts/fuzz.sh "${KRT_FUZZ_SECONDS:-60}"
fi
