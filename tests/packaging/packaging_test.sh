#!/usr/bin/env bash
# packaging_test.sh BUILD_DIR SOURCE_DIR
# Builds krt-appserver and krt-host with CPack from the built tree, checks
# them with lintian (no error, no warning that is not overridden) and the unit
# with systemd-analyze, unpacks both into a scratch root with dpkg-deb -x, and
# from there: makes a demo database with krt-admin, starts krt-appserver with
# the packaged configuration file, and starts krt-host under Xvfb with the
# packaged module, which logs in and opens the screen. Nothing may load a
# library from outside the packages and the system.
set -euo pipefail
BUILD=${1:?build folder}
SOURCE=${2:?source folder}
WORK=$(mktemp -d)
SERVER_PID=
cleanup()
{
    if [ -n "$SERVER_PID" ]; then
        kill "$SERVER_PID" 2>/dev/null || true
        wait "$SERVER_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
fail()
{
    echo "packaging: $*" >&2
    exit 1
}
# Installed programs find their libraries by themselves.
unset LD_LIBRARY_PATH

cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$WORK/packages" >"$WORK/cpack.log" 2>&1 ||
    { cat "$WORK/cpack.log"; fail "cpack failed"; }
APPSERVER_DEB=$(echo "$WORK"/packages/krt-appserver_*.deb)
HOST_DEB=$(echo "$WORK"/packages/krt-host_*.deb)
[ -f "$APPSERVER_DEB" ] && [ -f "$HOST_DEB" ] || fail "cpack made no krt-appserver and krt-host packages"

lintian --fail-on error,warning "$APPSERVER_DEB" "$HOST_DEB" ||
    fail "lintian reports errors or warnings that are not overridden"

# The library dependencies are dpkg-shlibdeps' (libpq, libsodium, OpenSSL
# are linked by the libraries, not the programs).
DEPENDS=$(dpkg-deb -f "$APPSERVER_DEB" Depends)
for lib in libpq5 libsodium23 libssl3 libsqlite3-0 libqt6sql6; do
    [[ "$DEPENDS" == *"$lib "* ]] || fail "krt-appserver does not depend on $lib: $DEPENDS"
done

ROOT=$WORK/root
dpkg-deb -x "$APPSERVER_DEB" "$ROOT"
dpkg-deb -x "$HOST_DEB" "$ROOT"
for program in krt-appserver krt-admin krt-host; do
    ldd "$ROOT/usr/bin/$program" >"$WORK/ldd" || fail "ldd $program"
    ! grep -q "not found" "$WORK/ldd" || { cat "$WORK/ldd"; fail "$program misses a library"; }
    ! grep "libkrt" "$WORK/ldd" | grep -v -q "=> $ROOT/" ||
        { cat "$WORK/ldd"; fail "$program loads a project library from outside its package"; }
done

# The unit as installed, with its program where the scratch root has it.
sed "s|/usr/bin/krt-appserver|$ROOT/usr/bin/krt-appserver|" \
    "$ROOT/lib/systemd/system/krt-appserver.service" >"$WORK/krt-appserver.service"
systemd-analyze verify "$WORK/krt-appserver.service" >"$WORK/verify.log" 2>&1 &&
    [ ! -s "$WORK/verify.log" ] || { cat "$WORK/verify.log"; fail "systemd-analyze verify"; }
systemd-analyze security --offline=true "$WORK/krt-appserver.service" >"$WORK/security.log" 2>&1 ||
    true
RATING=$(grep "Overall exposure level" "$WORK/security.log" || true)
echo "packaging: $RATING"
[[ "$RATING" =~ \ (OK|SAFE)\  ]] || { cat "$WORK/security.log"; fail "the unit is rated worse than OK"; }

"$ROOT/usr/bin/krt-admin" create-demo --database "sqlite:$WORK/demo.db" --to "$(date +%F)" \
    >"$WORK/admin.log" 2>&1 || { cat "$WORK/admin.log"; fail "krt-admin create-demo"; }

# As the unit starts it, with the packaged configuration; the test's own
# database and log given on the command line, which wins. Port 0: the server
# binds a free port itself and names it in its start line, so no other test
# can take the port between its choice and the bind.
"$ROOT/usr/bin/krt-appserver" --config "$ROOT/etc/krt/appserver.conf" \
    --database "sqlite:$WORK/demo.db" --port 0 --log "$WORK/server.log" \
    2>"$WORK/server.err" &
SERVER_PID=$!
PORT=
for _ in $(seq 1 300); do
    PORT=$(sed -n 's/.*krt-appserver servindo [^ ]* em [0-9.]*:\([0-9]*\).*/\1/p' \
        "$WORK/server.log" 2>/dev/null | head -n 1 || true)
    [ -n "$PORT" ] && break
    kill -0 "$SERVER_PID" 2>/dev/null || { cat "$WORK/server.err"; fail "krt-appserver did not start"; }
    sleep 0.1
done
[ -n "$PORT" ] && [ "$PORT" -gt 0 ] || fail "krt-appserver is not serving"

# The host logs in as the demo user and opens the screen, whose first call
# goes to the server with that session.
export XDG_CONFIG_HOME=$WORK/config KRT_SERVER_PASSWORD=demo QT_QPA_PLATFORM=xcb
bash "$SOURCE/tests/host/desktop_session.sh" none "$ROOT/usr/bin/krt-host" \
    --server-host 127.0.0.1 --server-port "$PORT" --server-user demo --db "$WORK/demo.db" \
    --branch 0001 --open --screenshot "$WORK/host.png" >"$WORK/host.log" 2>&1 ||
    { cat "$WORK/host.log"; fail "krt-host failed"; }
! grep -q "^krt-host:" "$WORK/host.log" || { cat "$WORK/host.log"; fail "krt-host reported an error"; }
[ -s "$WORK/host.png" ] || fail "krt-host saved no picture"
grep -Eq " demo getInforPad ok " "$WORK/server.log" ||
    { cat "$WORK/server.log"; fail "no authenticated call of the screen reached the server"; }

kill "$SERVER_PID"
wait "$SERVER_PID" || fail "krt-appserver did not stop cleanly"
SERVER_PID=
echo "packaging: krt-appserver and krt-host built, checked, installed and run"
