#!/usr/bin/env bash
# Starts zelk on a task under a virtual X server, as a user would, and checks
# the pixels of the window: the margins, the white plot area, the experimental
# curves and, when the demo fitting program is there, the fitted curves after
# the first toolbar button. Then a fitting program that never ends is started
# with the first toolbar button and stopped with Escape, and once more ended
# by SIGTERM to zelk: both times FIT.INP holds the user's bytes again and no
# fitting program is left running.
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

# A task whose fitting program prints a line now and then and never ends.
slow="$work/slow"
mkdir -p "$slow"
printf '%s\n' "Slow fitter task" "options:" "opt.inp" "model:" "model.inp" "1 experiment" \
    "experimental curves:" "exp.dat" "20  80" "fitting program:" "slowfit" "result:" \
    "res.dat" "axis:" "axis.inp" >"$slow/START_A.INP"
printf '%s\n' 0 100 20 0 12 2 1 1 4 >"$slow/axis.inp"
printf '%s\n' "3 1" "10 1" "50 3" "90 5" >"$slow/exp.dat"
printf 'model\n' >"$slow/model.inp"
printf 'options\n' >"$slow/opt.inp"
printf '#!/bin/sh\necho $$ >>fitter.pids\ni=0\nwhile :; do i=$((i+1)); echo "iteration $i"; sleep 0.2; done\n' \
    >"$slow/slowfit"
chmod +x "$slow/slowfit"
printf 'the user'"'"'s own fit input\r\n 1  2  3\n' >"$work/user-fit.inp"
cp "$work/user-fit.inp" "$slow/FIT.INP"

export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
# The test runner may ask every Qt program for the offscreen platform; this
# one must open a real window on the virtual X server.
export QT_QPA_PLATFORM=xcb
export ZELK_SMOKE_ZELK="$zelk" ZELK_SMOKE_TASK="$task" ZELK_SMOKE_DIR="$work" ZELK_SMOKE_FIT="$with_fit"
export ZELK_SMOKE_SLOW="$slow"
# -noreset: the server otherwise resets whenever its last client leaves, and a
# program that connects during the reset is turned away ("could not connect
# to display"), as happened when the slow task started right after zelk ended.
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash -c '
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

    # Waits (at most 20 seconds) until the command $1 succeeds.
    wait_for() {
        for _ in $(seq 1 100); do
            eval "$1" && return 0
            sleep 0.2
        done
        return 1
    }
    # Starts zelk on the slow task, clicks the first toolbar button and waits
    # until the fitting program runs; sets pid and wid.
    start_slow_run() {
        rm -f "$ZELK_SMOKE_SLOW/fitter.pids"
        "$ZELK_SMOKE_ZELK" --task "$ZELK_SMOKE_SLOW" &
        pid=$!
        wid=""
        wait_for "wid=\$(xdotool search --name \" - Zelk\\\$\" 2>/dev/null | head -n 1) && [ -n \"\$wid\" ]" ||
            { echo "no Zelk window for the slow task"; kill $pid; exit 1; }
        sleep 0.5
        xdotool mousemove --window "$wid" 20 36 click 1
        wait_for "[ -s \"$ZELK_SMOKE_SLOW/fitter.pids\" ]" || { echo "the fitting program did not start"; kill $pid; exit 1; }
        sleep 1  # a few lines of output in the panel
    }
    fitters_alive() {
        for p in $(cat "$ZELK_SMOKE_SLOW/fitter.pids" 2>/dev/null); do
            kill -0 "$p" 2>/dev/null && return 0
        done
        return 1
    }

    # Escape stops the run; the command puts FIT.INP back.
    start_slow_run
    cmp -s "$ZELK_SMOKE_SLOW/FIT.INP" "$ZELK_SMOKE_DIR/user-fit.inp" && echo "running" >"$ZELK_SMOKE_DIR/escape-placeholder-not-in.txt"
    import -window root "$ZELK_SMOKE_DIR/running.png"
    xdotool mousemove --window "$wid" 200 200 key Escape
    if wait_for "cmp -s \"$ZELK_SMOKE_SLOW/FIT.INP\" \"$ZELK_SMOKE_DIR/user-fit.inp\""; then
        echo restored >"$ZELK_SMOKE_DIR/escape-restored.txt"
    fi
    wait_for "! fitters_alive" && echo ended >"$ZELK_SMOKE_DIR/escape-ended.txt"
    sleep 0.5
    import -window root "$ZELK_SMOKE_DIR/stopped.png"
    # Outside a run SIGTERM ends zelk at once, even with a message box open.
    kill -TERM $pid
    wait_for "! kill -0 $pid 2>/dev/null" && echo quit >"$ZELK_SMOKE_DIR/idle-term.txt"
    kill -KILL $pid 2>/dev/null || true
    wait $pid 2>/dev/null || true

    # SIGTERM to zelk during the run: the fitting program is stopped, FIT.INP
    # comes back, zelk ends.
    start_slow_run
    kill -TERM $pid
    wait_for "! kill -0 $pid 2>/dev/null" && echo quit >"$ZELK_SMOKE_DIR/run-term.txt"
    cmp -s "$ZELK_SMOKE_SLOW/FIT.INP" "$ZELK_SMOKE_DIR/user-fit.inp" && echo restored >"$ZELK_SMOKE_DIR/term-restored.txt"
    fitters_alive || echo ended >"$ZELK_SMOKE_DIR/term-ended.txt"
    kill -KILL $pid 2>/dev/null || true
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
expect_file() {  # file, what it shows
    if [ -f "$work/$1" ]; then
        echo "ok: $2"
    else
        echo "FAIL: $2"
        fail=1
    fi
}
[ -f "$work/escape-placeholder-not-in.txt" ] && { echo "FAIL: FIT.INP held the user's bytes during the run (no placeholder)"; fail=1; }
expect_file escape-restored.txt "Escape stopped the run and FIT.INP holds the user's bytes again"
expect_file escape-ended.txt "no fitting program left running after Escape"
expect_file idle-term.txt "SIGTERM outside a run ends zelk"
expect_file run-term.txt "SIGTERM during a run ends zelk"
expect_file term-restored.txt "after SIGTERM during a run FIT.INP holds the user's bytes again"
expect_file term-ended.txt "no fitting program left running after SIGTERM"
if [ -n "${ZELK_SMOKE_KEEP:-}" ]; then  # to look at them
    cp "$work"/*.png "$ZELK_SMOKE_KEEP"/
fi
exit "$fail"
