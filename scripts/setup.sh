#!/usr/bin/env bash
# Installs what the build, the tests and the product need, then configures and
# builds everything into build/. Safe to run again: installed packages are
# skipped quietly and the build is incremental.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  cmake g++ make pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-ibase
  libgl-dev xvfb xauth
  openbox x11-utils xdotool # the desktop test runs under a real window manager too
  ccache
  libgtest-dev libbenchmark-dev
  nlohmann-json3-dev libboost1.81-dev libssl-dev openssl libsodium-dev
  libsqlite3-dev sqlite3 libpq-dev postgresql
  haproxy # the balancer test: three application servers behind it
  firebird3.0-server firebird-dev
  clang clang-format
  qt6-translations-l10n
  dbus-daemon at-spi2-core python3-pyatspi # screen-reader test: AT-SPI bus and its client
  dpkg-dev lintian systemd # the packaging test: CPack's dpkg-shlibdeps, lintian, systemd-analyze
)

# Installed without what they recommend: promtool (the metrics test) comes only
# with the Prometheus server's package (its recommended node exporter is not
# needed). The server itself starts only where systemd runs the machine, not
# in a CI container.
LEAN_PACKAGES=(prometheus)

not_installed() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
mapfile -t missing < <(not_installed "${PACKAGES[@]}")
mapfile -t missing_lean < <(not_installed "${LEAN_PACKAGES[@]}")
if [ ${#missing[@]} -gt 0 ] || [ ${#missing_lean[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]} ${missing_lean[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
  if [ ${#missing_lean[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
      "${missing_lean[@]}" >/dev/null
  fi
fi

BUILD_DIR=${KRT_BUILD_DIR:-build}
# ccache keyed on paths relative to the checkout: a fresh clone elsewhere on
# the same machine reuses what an earlier build compiled.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=${KRT_BUILD_TYPE:-RelWithDebInfo} \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build "$BUILD_DIR" -j2
