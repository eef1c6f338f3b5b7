#!/usr/bin/env bash
# run-under-x.sh [--wm] COMMAND...
# Runs a GUI test on a private virtual X display (1024 x 768), with the openbox window
# manager when --wm is given, and takes both down afterwards.
set -euo pipefail
wm=0
if [ "${1:-}" = --wm ]; then
    wm=1
    shift
fi
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"

if [ "$wm" = 1 ]; then
    openbox --startup "touch $work/wm-ready" >"$work/openbox.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do [ -e "$work/wm-ready" ] && break; sleep 0.1; done
    [ -e "$work/wm-ready" ] || { echo "openbox did not start" >&2; cat "$work/openbox.log" >&2; exit 1; }
fi

if [ "$wm" = 1 ]; then
    export QUELT_TEST_WM=1  # the tests wait for the window manager's frames
fi
QT_QPA_PLATFORM=xcb "$@"
