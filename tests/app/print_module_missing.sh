#!/usr/bin/env bash
# A zelk without its printing module beside it still starts, and printing
# from the command line ends with a non-zero status and says why: printing is
# not available, and which module files it looked for. Standard error is a
# terminal (script(1)), as for a user at a shell, so no box waits for a click.
#   print_module_missing.sh ZELK
set -euo pipefail
zelk=$1
command -v script >/dev/null || { echo "SKIP: script is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cp "$zelk" "$work/bin/zelk"
printf 'x\n' >"$work/plot.dat"

status=0
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" \
    timeout 60 script -qec "\"$work/bin/zelk\" /p \"$work/plot.dat\"" "$work/typescript" \
    >"$work/out" 2>&1 || status=$?
if [ "$status" -ne 1 ]; then
    echo "FAIL: zelk /p without its printing module ended with status $status, not 1"
    cat "$work/out"
    exit 1
fi
if ! grep -q "^zelk: printing is not available: .*$work/bin/zelk-print" "$work/out"; then
    echo "FAIL: the reason does not name the module looked for:"
    cat "$work/out"
    exit 1
fi
echo "PASS"
