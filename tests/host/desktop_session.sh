#!/usr/bin/env bash
# Runs a program on an X display of its own (Xvfb), bare or under a real
# window manager, as a clerk's desktop has one:
#   desktop_session.sh none    PROGRAM [ARGS...]
#   desktop_session.sh openbox PROGRAM [ARGS...]
# With a window manager the program starts only once the manager has taken
# the display (_NET_SUPPORTING_WM_CHECK on the root window). Exits with the
# program's status; a display or manager that does not come up is a failure.
set -uo pipefail
WM=${1:?window manager: none or openbox}
shift
WORK=$(mktemp -d)
PIDS=()
cleanup()
{
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill "${PIDS[i]}" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number: tests side by side never race.
Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp 9>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do
    [ -s "$WORK/display" ] && break
    sleep 0.1
done
[ -s "$WORK/display" ] || { echo "desktop: Xvfb did not start"; cat "$WORK/xvfb.log"; exit 1; }
export DISPLAY=":$(tr -d '\n' <"$WORK/display")"

case "$WM" in
none) ;;
openbox)
    command -v openbox >/dev/null || { echo "desktop: openbox is not installed"; exit 1; }
    openbox --sm-disable >"$WORK/wm.log" 2>&1 &
    PIDS+=($!)
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
        sleep 0.1
    done
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" ||
        { echo "desktop: openbox did not take the display"; cat "$WORK/wm.log"; exit 1; }
    ;;
*)
    echo "desktop: unknown window manager $WM"
    exit 2
    ;;
esac

echo "desktop: $DISPLAY, window manager: $WM"
export KRT_WINDOW_MANAGER="$WM"
"$@"
