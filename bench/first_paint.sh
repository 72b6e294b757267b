#!/usr/bin/env bash
# Time from launch to the first paint of the plot: zelk on the demo task with
# an 800x600 plot, against a minimal Qt widget program of the same size
# (bench/first-paint/MinimalWidget.cpp, built here), under Xvfb. Both print
# the time of their first paint (zelk when ZELK_REPORT_FIRST_PAINT is set)
# and end there. The runs alternate; medians and their ratio are printed.
#
# --settle SECONDS rests that long before each launch (outside the timing), so
# that neither program starts while the other's exit is still being cleaned up.
# --before DIR adds the zelk of another build to the same rounds, for a
# side-by-side comparison of two builds on one server.
#
#   bench/first_paint.sh [--build DIR] [--runs N] [--settle SECONDS] [--before DIR]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$here/build
runs=15
settle=0
before=
while [ $# -gt 0 ]; do
    case $1 in
        --build) build=$(cd "$2" && pwd); shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        --settle) settle=$2; shift 2 ;;
        --before) before=$(cd "$2" && pwd)/src/app/zelk; shift 2 ;;
        *) echo "usage: $0 [--build DIR] [--runs N] [--settle SECONDS] [--before DIR]" >&2; exit 2 ;;
    esac
done
zelk=$build/src/app/zelk
fit=$build/tools/zelk-fit/zelk-fit
for program in "$zelk" "$fit" ${before:+"$before"}; do
    [ -x "$program" ] || { echo "$program is missing: build Zelk first" >&2; exit 1; }
done
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (package xvfb)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Same compiler flags as a release build of Zelk.
c++ -std=c++20 -O2 -fPIC "$here/bench/first-paint/MinimalWidget.cpp" -o "$work/minimal" \
    $(pkg-config --cflags --libs Qt6Widgets)
"$fit" --make-demo "$work/demo" >/dev/null
(cd "$work/demo" && "$fit" >/dev/null)
# A private settings folder: the window opens at its default place and size,
# and the user's settings stay untouched.
export XDG_CONFIG_HOME=$work/config

cat >"$work/measure.sh" <<'SH'
#!/usr/bin/env bash
# Runs inside one X server: the programs in turn, one line each.
set -euo pipefail
runs=$1 zelk=$2 minimal=$3 demo=$4 settle=$5 before=${6:-}
once() {  # label, command...
    local label=$1
    shift
    local start end
    sleep "$settle"
    start=$EPOCHREALTIME
    end=$("$@" 2>/dev/null | awk '/^first-paint/ { print $2 }')
    [ -n "$end" ] || { echo "$label: no paint" >&2; exit 1; }
    awk -v l="$label" -v s="$start" -v e="$end" 'BEGIN { printf "%s %.6f\n", l, e - s }'
}
first=3
[ -z "$before" ] || first=4
# Every program is started the same way, straight from this shell: zelk's
# report switch is set once for all (the minimal widget ignores it), not with
# env(1), whose own exec would be counted in zelk's time alone.
export ZELK_REPORT_FIRST_PAINT=1
# The window manager's part is left out: there is none, as on a fresh Xvfb.
for ((r = 0; r < runs + 1; r++)); do
    once minimal "$minimal"
    once zelk "$zelk" --task "$demo"
    if [ -n "$before" ]; then
        once before "$before" --task "$demo"
    fi
done | tail -n +"$first"  # the first round warms the caches
SH
chmod +x "$work/measure.sh"
# -noreset: without it the server resets each time a program ends, and the
# next program's launch waits out that reset (about 60 ms here), a constant
# that pads both times and flatters the ratio. A desktop's server never resets
# between programs.
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$work/measure.sh" "$runs" "$zelk" "$work/minimal" \
    "$work/demo" "$settle" "$before" >"$work/times"

median() {
    awk -v l="$1" '$1 == l { print $2 }' "$work/times" | sort -g | awk '{ v[NR] = $1 } END {
        if (NR % 2) printf "%.4f", v[(NR + 1) / 2]; else printf "%.4f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
m=$(median minimal)
z=$(median zelk)
echo "First paint after launch, medians of $runs alternating runs under Xvfb (seconds, ${settle} s rest before each)"
printf '%-30s %s\n' "minimal Qt widget (800x600)" "$m"
printf '%-30s %s\n' "zelk --task demo" "$z"
printf '%-30s %s\n' "ratio (goal <= 1.15)" "$(awk -v a="$z" -v b="$m" 'BEGIN { printf "%.2f", a / b }')"
if [ -n "$before" ]; then
    b=$(median before)
    printf '%-30s %s\n' "zelk of --before" "$b"
    printf '%-30s %s\n' "its ratio" "$(awk -v a="$b" -v c="$m" 'BEGIN { printf "%.2f", a / c }')"
fi
