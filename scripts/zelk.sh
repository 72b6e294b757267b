#!/usr/bin/env bash
# One entry point for setting up, building, testing and demonstrating Zelk on
# Debian 12. Run as root, or as a user who may use sudo (only apt-get needs it).
#
#   scripts/zelk.sh demo   install, build, make a demo task and open it in Zelk
#   scripts/zelk.sh test   install, build with warnings as errors, run every test
#   scripts/zelk.sh ci     test, then the sanitizer, fuzzing and Windows cross checks
#   scripts/zelk.sh wine   cross-build the core, zelk-fit and their tests for
#                          Windows and run the tests under Wine
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
jobs=$(nproc 2>/dev/null || echo 2)

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libx11-dev libpng-dev
    libxxhash-dev
    libeigen3-dev libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    xvfb xauth xdotool imagemagick fonts-dejavu-core
    g++-mingw-w64-x86-64-posix
    locales
    python3 python3-scipy
)
# Only the Windows tests need these.
wine_packages=(g++-mingw-w64-x86-64-posix googletest wine64)

as_root() {
    if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi
}

# The reader tests run under a comma-decimal locale to prove that numbers read
# the same everywhere; generate it once when the system lacks it.
ensure_test_locale() {
    locale -a 2>/dev/null | grep -ix 'de_DE\.utf-\?8' >/dev/null && return 0
    echo "Generating the de_DE.UTF-8 locale for the tests"
    if grep -q '^# *de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
        as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    elif ! grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
        echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    fi
    as_root locale-gen >/dev/null
}

install_packages() {
    install_missing_packages
    ensure_test_locale
}

install_missing_packages() {  # [package...], default: the whole list
    local missing=() wanted=("$@")
    [ ${#wanted[@]} -eq 0 ] && wanted=("${packages[@]}")
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure_build() {  # dir, extra cmake args...
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

run_tests() {  # dir, extra ctest args...
    local dir=$1
    shift
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@"
}

cmd_test() {
    install_packages
    configure_build build -DZELK_WERROR=ON
    run_tests build
}

cmd_sanitize() {
    configure_build build-asan -DZELK_WERROR=ON -DZELK_SANITIZE=ON -DZELK_BUILD_BENCH=OFF \
        -DCMAKE_BUILD_TYPE=Debug
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    LSAN_OPTIONS=suppressions=$here/tests/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        run_tests build-asan -LE xvfb
}

# Each fuzzer gets a fresh copy of its seed corpus, so the tree stays clean;
# crash inputs land in build-fuzz/artifacts. ZELK_FUZZ_RUNS sets the runs per
# fuzzer and ZELK_FUZZ_SECONDS caps each fuzzer's time, so that the whole stage
# stays within a few minutes on 2 cores. The reader fuzzers write a file per
# input; a memory-backed TMPDIR makes that about five times faster.
cmd_fuzz() {
    local tmp=${TMPDIR:-/tmp}
    [ -d /dev/shm ] && [ -w /dev/shm ] && tmp=/dev/shm
    CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZELK_FUZZ=ON -DZELK_WITH_QT=OFF -DZELK_BUILD_TESTS=ON -DZELK_BUILD_BENCH=OFF >/dev/null
    cmake --build build-fuzz --target zelk_fuzzers -j "$jobs"
    mkdir -p build-fuzz/artifacts
    local found=0
    for f in build-fuzz/tests/fuzz/fuzz_*; do
        [ -x "$f" ] || continue
        found=1
        local name corpus
        name=$(basename "$f")
        corpus=$(TMPDIR=$tmp mktemp -d)
        cp -r "tests/fuzz/corpus/${name#fuzz_}/." "$corpus/" 2>/dev/null || true
        echo "== $name"
        TMPDIR=$tmp "$f" -runs="${ZELK_FUZZ_RUNS:-200000}" \
            -max_total_time="${ZELK_FUZZ_SECONDS:-80}" -max_len=4096 -timeout=10 \
            -artifact_prefix=build-fuzz/artifacts/ "$corpus" 2>&1 | tail -n 3
        rm -rf "$corpus"
    done
    [ "$found" -eq 1 ] || { echo "no fuzz targets were built" >&2; return 1; }
}

cmd_cross() {
    cmake -S . -B build-mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
        -DZELK_WITH_QT=OFF -DZELK_BUILD_TESTS=OFF -DZELK_BUILD_BENCH=OFF -DZELK_WERROR=ON >/dev/null
    cmake --build build-mingw -j "$jobs"
}

# The core, the platform layer, the commands and zelk-fit cross-built for
# Windows with their tests, run under Wine through CTest. Wine keeps its state
# in build-wine/wineprefix (made on first use by the wrapper that
# cmake/ZelkWine.cmake writes); one wine server lives for the whole run so that
# each test starts quickly.
cmd_wine() {
    install_missing_packages "${wine_packages[@]}"
    local dir=build-wine
    cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELK_WITH_QT=OFF -DZELK_BUILD_BENCH=OFF \
        -DZELK_WERROR=ON -DZELK_WINE=ON -DZELK_GTEST_SOURCE=/usr/src/googletest >/dev/null
    local run="$dir/wine-run.sh"
    # Make the prefix, let its first server end, and start one that lasts
    # (a second server for the same prefix would be refused). Wine's own
    # services start with the first program and live as long as the server;
    # started here, they hold /dev/null open rather than the output pipe of a
    # test that CMake or CTest waits on.
    "$run" cmd /c exit 0 </dev/null >/dev/null 2>&1
    "$run" --server -w
    "$run" --server -p300
    "$run" cmd /c exit 0 </dev/null >/dev/null 2>&1
    local status=0
    cmake --build "$dir" -j "$jobs" || status=$?
    if [ "$status" -eq 0 ]; then
        ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300 || status=$?
    fi
    "$run" --server -k 2>/dev/null || true
    return "$status"
}

cmd_demo() {
    install_packages
    configure_build build
    local demo="${ZELK_DEMO_DIR:-$HOME/zelk-demo}"
    "build/tools/zelk-fit/zelk-fit" --make-demo "$demo"
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        exec "build/src/app/zelk" --task "$demo"
    fi
    echo "No display is available: rendering the demo task with a fit run instead."
    (cd "$demo" && "$here/build/tools/zelk-fit/zelk-fit" >/dev/null)
    "build/tools/zelk-render/zelk-render" --dir "$demo" --fit-runs 1 --size 1024x768 -o "$demo/demo-fit.png"
    echo "The plot is in $demo/demo-fit.png"
}

case "${1:-}" in
    demo) cmd_demo ;;
    test) cmd_test ;;
    sanitize) install_packages; cmd_sanitize ;;
    fuzz) install_packages; cmd_fuzz ;;
    cross) install_packages; cmd_cross ;;
    wine) cmd_wine ;;
    ci) cmd_test; cmd_sanitize; cmd_fuzz; cmd_cross; cmd_wine ;;
    *) echo "usage: $0 demo|test|ci|sanitize|fuzz|cross|wine" >&2; exit 2 ;;
esac
