#!/usr/bin/env bash
# Times zelk-render against gnuplot (pngcairo and gd) and Grace (gracebat) on
# the same two plots at 1280x960: the full-capacity task (3 sets x 12 curves x
# 3500 points: measured points and lines, a fit and a kept fit) and the demo
# task with its fit. Each peer draws the same stacked curves from the same
# numbers. The runs alternate between the programs; the medians and the ratio
# of Zelk's median to each peer's are printed. Missing peers are installed
# with apt-get (gnuplot-nox or gnuplot, grace).
#
#   bench/compare.sh [--build DIR] [--runs N]
#
# Build Zelk in Release (or RelWithDebInfo) first. Wall-clock times of whole
# processes, on a machine that should otherwise be idle.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$here/build
runs=11
while [ $# -gt 0 ]; do
    case $1 in
        --build) build=$(cd "$2" && pwd); shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        *) echo "usage: $0 [--build DIR] [--runs N]" >&2; exit 2 ;;
    esac
done
render=$build/tools/zelk-render/zelk-render
fit=$build/tools/zelk-fit/zelk-fit
for program in "$render" "$fit"; do
    [ -x "$program" ] || { echo "$program is missing: build Zelk first" >&2; exit 1; }
done

as_root() {
    if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi
}
install_peers() {
    local wanted=()
    command -v gnuplot >/dev/null || wanted+=(gnuplot-nox)
    command -v gracebat >/dev/null || wanted+=(grace)
    [ ${#wanted[@]} -eq 0 ] && return 0
    echo "Installing ${wanted[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    if ! as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
            --no-install-recommends "${wanted[@]}" >/dev/null; then
        # Older releases have no gnuplot-nox: the plain package then.
        wanted=("${wanted[@]/gnuplot-nox/gnuplot}")
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
            --no-install-recommends "${wanted[@]}" >/dev/null
    fi
}
install_peers

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

# The two task folders.
"$fit" --make-demo "$work/demo" >/dev/null
(cd "$work/demo" && "$fit" >/dev/null)
mkdir "$work/full"
# The full-capacity curves: 12 curves of 3500 points, as bench/FullCapacity.h.
curves() {  # phase
    awk -v phase="$1" 'BEGIN {
        for (p = 0; p < 3500; p++) {
            printf "%d", p
            for (c = 0; c < 12; c++) {
                t = p * 0.01 + c * 0.7 + phase
                printf " %.6f", 1.0 + sin(t) * exp(-p / 2000.0) + 0.05 * sin(37 * t)
            }
            printf "\n"
        } }'
}
{ echo "3500 12"; curves 0.0; } >"$work/full/exp.dat"
{ echo "3500 12 x y"; curves 0.05; } >"$work/full/res.dat"
echo "0.0123456" >"$work/full/EPS.res"
printf '0\n3500\n250\n0\n38\n2\n1\n1\n3\n' >"$work/full/axis.inp"
printf '%s\n' "Full capacity: 12 curves of 3500 points" "options:" "opt.inp" "model:" \
    "model.inp" "1 experiment" "experimental curves:" "exp.dat" "500 3000 markers" \
    "fitting program:" "fit" "result curves:" "res.dat" "axis file:" "axis.inp" \
    >"$work/full/START_A.INP"

# The peers get the curves already stacked (curve j of n lifted by
# (n - 1 - j) * offset, times the stacking factor), as tables of x and 12 or 3
# columns: the same numbers Zelk draws. Making them is not timed.
stack() {  # file, curves, factor, offset, out
    awk -v n="$2" -v f="$3" -v o="$4" 'NR > 1 && NF > n {
        printf "%s", $1
        for (j = 0; j < n; j++) printf " %.6g", $(j + 2) * f + (n - 1 - j) * o
        printf "\n" }' "$1" >"$5"
}
stack "$work/full/exp.dat" 12 1 3 "$work/full/exp.stk"
stack "$work/full/res.dat" 12 1 3 "$work/full/res.stk"
stack "$work/demo/demo.dat" 3 0.01 2 "$work/demo/exp.stk"
stack "$work/demo/demo.res" 3 0.01 2 "$work/demo/res.stk"

# name: xmax ymax xtics ytics curves
declare -A geometry=([full]="3500 38 250 2 12" [demo]="100 6 10 0.5 3")

gnuplot_script() {  # task, terminal, output
    local xmax ymax xt yt n
    read -r xmax ymax xt yt n <<<"${geometry[$1]}"
    local dir=$work/$1
    cat <<GP
set terminal $2 size 1280,960
set output '$3'
unset key
set xrange [0:$xmax]
set yrange [0:$ymax]
set xtics $xt
set ytics $yt
set format "%.2f"
plot for [i=2:$((n + 1))] '$dir/exp.stk' using 1:i with points pt 5 ps 0.4 lc i, \\
     for [i=2:$((n + 1))] '$dir/exp.stk' using 1:i with lines lw 1 lc i, \\
     for [i=2:$((n + 1))] '$dir/res.stk' using 1:i with lines lw 2 lc i+20, \\
     for [i=2:$((n + 1))] '$dir/res.stk' using 1:i with lines dt 3 lc i+40
GP
}
grace_batch() {  # task
    local xmax ymax xt yt n
    read -r xmax ymax xt yt n <<<"${geometry[$1]}"
    echo "WORLD XMIN 0"; echo "WORLD XMAX $xmax"; echo "WORLD YMIN 0"; echo "WORLD YMAX $ymax"
    echo "XAXIS TICK MAJOR $xt"; echo "YAXIS TICK MAJOR $yt"
    echo 'XAXIS TICKLABEL FORMAT DECIMAL'; echo 'XAXIS TICKLABEL PREC 2'
    echo 'YAXIS TICKLABEL FORMAT DECIMAL'; echo 'YAXIS TICKLABEL PREC 2'
    local j
    for ((j = 0; j < n; j++)); do  # measured: squares and a line
        echo "S$j SYMBOL 2"; echo "S$j SYMBOL SIZE 0.3"; echo "S$j SYMBOL FILL PATTERN 1"
    done
    for ((j = 2 * n; j < 3 * n; j++)); do echo "S$j LINESTYLE 3"; done  # the kept fit
    for ((j = n; j < 2 * n; j++)); do echo "S$j LINEWIDTH 2"; done
}
for task in full demo; do
    gnuplot_script $task pngcairo "$work/$task-cairo.png" >"$work/$task-cairo.gp"
    gnuplot_script $task png "$work/$task-gd.png" >"$work/$task-gd.gp"
    gnuplot_script $task svg "$work/$task-gp.svg" >"$work/$task-gp.svg.gp"
    grace_batch $task >"$work/$task.bat"
done

# Commands, by label. Zelk draws its fit and a kept fit (--snapshot): three
# sets of curves, as the peers do.
declare -A commands order
labels=()
add() {  # label, command...
    labels+=("$1")
    local label=$1
    shift
    commands[$label]=$(printf '%q ' "$@")
}
for task in full demo; do
    dir=$work/$task
    add "$task zelk-render PNG" "$render" --dir "$dir" --size 1280x960 --fit-runs 1 --snapshot \
        -o "$work/$task-zelk.png"
    add "$task zelk-render SVG" "$render" --dir "$dir" --size 1280x960 --fit-runs 1 --snapshot \
        -o "$work/$task-zelk.svg"
    add "$task zelk-render PDF" "$render" --dir "$dir" --size 1280x960 --fit-runs 1 --snapshot \
        -o "$work/$task-zelk.pdf"
    add "$task gnuplot pngcairo" gnuplot "$work/$task-cairo.gp"
    add "$task gnuplot png (gd)" gnuplot "$work/$task-gd.gp"
    add "$task gnuplot svg" gnuplot "$work/$task-gp.svg.gp"
    for device in PNG SVG; do
        ext=$(echo $device | tr 'A-Z' 'a-z')
        add "$task gracebat $device" gracebat -nxy "$dir/exp.stk" -nxy "$dir/res.stk" \
            -nxy "$dir/res.stk" -fixed 1280 960 -batch "$work/$task.bat" -hdevice "$device" \
            -printfile "$work/$task-grace.$ext" -hardcopy -noask
    done
done

# One warm-up run of each, which must succeed; then the timed rounds.
declare -A times
for label in "${labels[@]}"; do
    if ! eval "${commands[$label]}" >/dev/null 2>"$work/err"; then
        echo "failed: $label" >&2
        cat "$work/err" >&2
        exit 1
    fi
done
# Each run starts with nothing of the others left to write to disk: zelk-render
# flushes its file before renaming it into place, and on a journalling file
# system that flush would otherwise also write out what the previous program
# (the peers write without flushing) left in memory, and charge it to Zelk.
for ((r = 0; r < runs; r++)); do
    for label in "${labels[@]}"; do
        sync
        start=$EPOCHREALTIME
        eval "${commands[$label]}" >/dev/null 2>&1
        end=$EPOCHREALTIME
        times[$label]+=" $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f", e - s }')"
    done
done

median() {
    tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ v[NR] = $1 } END {
        if (NR % 2) printf "%.4f", v[(NR + 1) / 2]; else printf "%.4f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
declare -A med
for label in "${labels[@]}"; do
    med[$label]=$(median "${times[$label]}")
done

echo "Medians of $runs alternating runs, whole processes, 1280x960 (seconds)"
for task in full demo; do
    echo
    printf '%-26s %8s\n' "$task" "median"
    for label in "${labels[@]}"; do
        [[ $label == "$task "* ]] || continue
        printf '%-26s %8s\n' "${label#"$task "}" "${med[$label]}"
    done
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo
echo "Ratios (Zelk / peer; goals: full PNG <= 0.5 x gracebat, demo PNG <= 0.6 x gracebat,"
echo "demo SVG <= 1.0 x gracebat SVG)"
for task in full demo; do
    for peer in "gracebat PNG" "gnuplot png (gd)" "gnuplot pngcairo"; do
        printf '%-4s PNG / %-18s %s\n' "$task" "$peer" \
            "$(ratio "${med[$task zelk-render PNG]}" "${med[$task $peer]}")"
    done
    printf '%-4s SVG / %-18s %s\n' "$task" "gracebat SVG" \
        "$(ratio "${med[$task zelk-render SVG]}" "${med[$task gracebat SVG]}")"
    printf '%-4s SVG / %-18s %s\n' "$task" "zelk-render PNG" \
        "$(ratio "${med[$task zelk-render SVG]}" "${med[$task zelk-render PNG]}")"
    printf '%-4s PDF / %-18s %s\n' "$task" "zelk-render PNG" \
        "$(ratio "${med[$task zelk-render PDF]}" "${med[$task zelk-render PNG]}")"
done
