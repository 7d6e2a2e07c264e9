#!/usr/bin/env bash
# A screen reader inspecting the real host over AT-SPI: a private session bus
# with the accessibility bus and registry, the host under Xvfb with the
# cancellation screen open, and a client (screenreader_client.py) that walks
# the tree and asks every grid what readers ask. The host must still be
# running afterwards. Exits 77 (skipped) when the AT-SPI bus, its Python
# client, Xvfb or a session bus are not installed.
set -uo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
PYTHON=/usr/bin/python3 # the system one: pyatspi comes from the distribution

if [ "${1:-}" != "--inside" ]; then
    for tool in /usr/libexec/at-spi-bus-launcher /usr/libexec/at-spi2-registryd dbus-run-session \
                xvfb-run "$PYTHON"; do
        command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
    done
    "$PYTHON" -c "import pyatspi" 2>/dev/null || { echo "skipped: pyatspi is not installed"; exit 77; }
    # A display number of its own: tests running side by side do not race for :99.
    exec dbus-run-session -- xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x800x24" \
        bash "$0" --inside
fi

WORK=$(mktemp -d)
PIDS=()
cleanup()
{
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT

/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
PIDS+=($!)
/usr/libexec/at-spi2-registryd --use-gnome-session=no >/dev/null 2>&1 &
PIDS+=($!)
# Qt looks for the accessibility bus once, as it starts: have it answer first.
"$PYTHON" -c "
import time, pyatspi
for _ in range(100):
    try:
        pyatspi.Registry.getDesktop(0).childCount
        break
    except Exception:
        time.sleep(0.1)
" 2>/dev/null

# The lookups' database: one company, one branch, no stores.
"$PYTHON" - "$WORK/host.db" <<'EOF'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.executescript("""
CREATE TABLE EMPRESA (CDEMPRESA VARCHAR(2), NMEMPRESA VARCHAR(40), NMRAZSOCEMPR VARCHAR(80));
CREATE TABLE FILIAL (CDFILIAL VARCHAR(4), NMFILIAL VARCHAR(30), CDEMPRESA VARCHAR(2),
                     CDINSCESTA VARCHAR(16), CDSERIE VARCHAR(5), CDINSCMUNI VARCHAR(16));
CREATE TABLE LOJA (CDFILIAL VARCHAR(4), CDLOJA VARCHAR(10), NMLOJA VARCHAR(50));
INSERT INTO EMPRESA VALUES ('01', 'Alfa', 'Alfa Ltda');
INSERT INTO FILIAL VALUES ('0001', 'Matriz', '01', '', '', '');
""")
db.commit()
EOF

# No server listens on port 1: with a user and a password the host does not
# ask for a login, and the screen opens with its lists empty and says so in a
# message box, which the reader walks too.
KRT_SERVER_PASSWORD=demo QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 QT_QPA_PLATFORM=xcb \
    "$KRT_BIN_DIR/krt-host" --config /dev/null --db "$WORK/host.db" --branch 0001 \
    --server-port 1 --server-user demo --open >"$WORK/host.log" 2>&1 &
HOST=$!
PIDS+=("$HOST")

"$PYTHON" "$HERE/screenreader_client.py"
CLIENT=$?

if ! kill -0 "$HOST" 2>/dev/null; then
    wait "$HOST"
    echo "FAILED: the host ended (status $?) while a screen reader inspected it"
    tail -20 "$WORK/host.log"
    exit 1
fi
[ "$CLIENT" -eq 0 ] || tail -20 "$WORK/host.log"
exit $CLIENT
