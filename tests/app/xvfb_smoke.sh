#!/usr/bin/env bash
# Starts zelk on a task under a virtual X server, as a user would, and checks
# the pixels of the window: the margins, the white plot area, the experimental
# curves and, when the demo fitting program is there, the fitted curves after
# the first toolbar button.
#   xvfb_smoke.sh ZELK [ZELK-FIT]
set -euo pipefail
zelk=$1
fit=${2:-}
for tool in xvfb-run xdotool import convert; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
task="$work/task"
if [ -n "$fit" ] && "$fit" --make-demo "$task" >/dev/null 2>&1; then
    with_fit=1
else
    with_fit=0
    mkdir -p "$task"
    printf '%s\n' "Smoke test task" "options:" "opt.inp" "model:" "model.inp" "1 experiment" \
        "experimental curves:" "exp.dat" "20  80" "fitting program:" "fitprog" "result:" \
        "res.dat" "axis:" "axis.inp" >"$task/START_A.INP"
    printf '%s\n' 0 100 20 0 12 2 1 1 4 >"$task/axis.inp"
    {
        echo "21 2"
        for i in $(seq 0 20); do echo "$((i * 5)) $(( (i * 7) % 5 )) $(( (i * 3) % 4 ))"; done
    } >"$task/exp.dat"
fi

export XDG_CONFIG_HOME="$work/config"
# The test runner may ask every Qt program for the offscreen platform; this
# one must open a real window on the virtual X server.
export QT_QPA_PLATFORM=xcb
export ZELK_SMOKE_ZELK="$zelk" ZELK_SMOKE_TASK="$task" ZELK_SMOKE_DIR="$work" ZELK_SMOKE_FIT="$with_fit"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    # Takes screenshots into $1 until one shows at least 20 pixels of colour $2
    # (at most 30 seconds): no fixed waits for a slow machine to beat.
    shot_until() {
        for _ in $(seq 1 60); do
            import -window root "$1"
            n=$(convert "$1" -alpha off txt:- | grep -c -i " #$2 " || true)
            [ "$n" -ge 20 ] && return 0
            sleep 0.5
        done
    }
    "$ZELK_SMOKE_ZELK" --task "$ZELK_SMOKE_TASK" &
    pid=$!
    wid=""
    for _ in $(seq 1 300); do
        wid=$(xdotool search --name " - Zelk\$" 2>/dev/null | head -n 1 || true)
        [ -n "$wid" ] && break
        sleep 0.1
    done
    [ -n "$wid" ] || { echo "no Zelk window appeared"; kill $pid; exit 1; }
    xdotool getwindowname "$wid" >"$ZELK_SMOKE_DIR/title.txt"
    shot_until "$ZELK_SMOKE_DIR/loaded.png" 0000FF
    if [ "$ZELK_SMOKE_FIT" = 1 ]; then
        # The first toolbar button: a fit run with the placeholder input.
        xdotool mousemove --window "$wid" 20 36 click 1
        shot_until "$ZELK_SMOKE_DIR/fitted.png" FF0000
    fi
    kill $pid
    wait $pid 2>/dev/null || true
'

count() {  # image colour: how many pixels have exactly this colour
    convert "$1" -alpha off txt:- | grep -c -i " #$2 " || true
}
fail=0
check() {  # what, count, minimum
    if [ "$2" -lt "$3" ]; then
        echo "FAIL: $1: $2 pixels, expected at least $3"
        fail=1
    else
        echo "ok: $1: $2 pixels"
    fi
}
title=$(cat "$work/title.txt")
[ "$title" = "Untitled - Zelk" ] || { echo "FAIL: caption is '$title'"; fail=1; }
check "margins (200,200,255)" "$(count "$work/loaded.png" C8C8FF)" 5000
check "white plot area" "$(count "$work/loaded.png" FFFFFF)" 50000
check "experimental curve 0 (0,0,255)" "$(count "$work/loaded.png" 0000FF)" 20
if [ "$with_fit" = 1 ]; then
    check "fitted curve 0 (255,0,0)" "$(count "$work/fitted.png" FF0000)" 20
fi
if [ -n "${ZELK_SMOKE_KEEP:-}" ]; then  # to look at them
    cp "$work"/*.png "$ZELK_SMOKE_KEEP"/
fi
exit "$fail"
