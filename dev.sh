#!/usr/bin/env bash
# Kalvex developer entry point.
#   ./dev.sh run [ARGS...]   install what is missing, build, start kalvex
#   ./dev.sh test            install what is missing, build with the address and
#                            undefined-behaviour sanitizers and build the packages, run every
#                            test (the packages' on a fresh Debian root), then fuzz the
#                            project and log file readers for a while
#   ./dev.sh bench [FILES]   quick benchmark of kalvex-sync (first run, no change)
#   ./dev.sh package         Release build, then the Debian packages kalvex and kalvex-sync
#                            in build-package/
#   ./dev.sh screenshot      retake resources/screenshots/main-window.png under Xvfb
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake ninja-build g++ clang libclang-rt-dev pkg-config qt6-base-dev
          qt6-base-dev-tools qt6-svg-dev libgl-dev libgtest-dev xvfb xauth python3 time
          exfat-fuse exfatprogs appstream desktop-file-utils dpkg-dev file mmdebstrap)
# Only for ./dev.sh screenshot.
SCREENSHOT_PACKAGES=(imagemagick xdotool)
JOBS=$(nproc 2>/dev/null || echo 2)

install_missing() {  # install_missing [MORE PACKAGES...]
    local missing=()
    for package in "${PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Kalvex needs these packages: ${missing[*]}" >&2
        echo "Install them as root:  apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
}

build() {  # build DIR [CMAKE OPTIONS...]; TARGETS="..." builds only those
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    # shellcheck disable=SC2086
    cmake --build "$dir" -j "$JOBS" ${TARGETS:+--target $TARGETS}
}

packages() {  # Release build, then kalvex_VERSION_ARCH.deb and kalvex-sync_VERSION_ARCH.deb
    rm -f build-package/*.deb
    build build-package -DCMAKE_BUILD_TYPE=Release -DKALVEX_BUILD_TESTS=OFF
    (cd build-package && cpack -G DEB >/dev/null)
}

fuzz() {  # each target for FUZZ_SECONDS (20), from its seeds
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DKALVEX_FUZZ=ON -DKALVEX_SANITIZE=ON >/dev/null
    cmake --build build-fuzz -j "$JOBS" --target ProjectFileFuzz LogFileFuzz
    local target corpus log
    for target in ProjectFileFuzz LogFileFuzz; do
        corpus=$(mktemp -d)
        log=$(mktemp)
        cp tests/fuzz/seeds/$target/* "$corpus"/
        if ! (cd "$corpus" && "$OLDPWD/build-fuzz/tests/fuzz/$target" -max_len=65536 \
                -max_total_time="${FUZZ_SECONDS:-20}" "$corpus") >"$log" 2>&1; then
            tail -n 40 "$log" >&2
            echo "$target found a failing input (kept in $corpus)" >&2
            exit 1
        fi
        echo "$target: $(grep -E '^Done' "$log")"
        rm -rf "$corpus" "$log"
    done
}

case "${1:-}" in
run)
    shift
    install_missing
    TARGETS="kalvex kalvex-sync kalvex_help_page" build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        echo "No display: starting Kalvex on a virtual one (xvfb-run)." >&2
        exec xvfb-run -a build/app/kalvex/kalvex "$@"
    fi
    exec build/app/kalvex/kalvex "$@"
    ;;
test)
    install_missing
    # One build serves every test: the address and undefined-behaviour sanitizers watch
    # them all (line tables only, which keeps the build quick and the reports readable).
    build build-test -DCMAKE_BUILD_TYPE=Debug -DKALVEX_SANITIZE=ON -DKALVEX_WERROR=ON \
        -DCMAKE_CXX_FLAGS_DEBUG=-g1
    # The packages' test installs them from build-package.
    packages
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build-test --output-on-failure -j "$JOBS" --timeout 600
    fuzz
    ;;
package)
    install_missing
    packages
    ls -l build-package/*.deb
    ;;
screenshot)
    install_missing "${SCREENSHOT_PACKAGES[@]}"
    TARGETS="kalvex kalvex-sync" build build-package -DCMAKE_BUILD_TYPE=Release \
        -DKALVEX_BUILD_TESTS=OFF
    resources/screenshots/take.sh build-package resources/screenshots/main-window.png
    ;;
bench)
    shift
    install_missing
    TARGETS=kalvex-sync build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    exec python3 tests/bench/quick_bench.py build/app/sync/kalvex-sync "$@"
    ;;
*)
    sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
