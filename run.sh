#!/usr/bin/env bash
# ./run.sh        install what is missing, build, start Quelt
# ./run.sh test   install what is missing, build, run every test
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake ninja-build g++ qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-noto-cjk
          xvfb openbox)  # the last two: GUI tests on a real X server with a window manager

install_missing() {
    local missing=() pkg
    for pkg in "${PACKAGES[@]}"; do
        dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
    done
    ((${#missing[@]} == 0)) && return
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# build DIR [cmake options...]
build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir"
}

run_tests() {
    local dir=$1
    (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j4 --timeout 300)
}

install_missing
case "${1:-}" in
    "")
        build build
        exec ./build/quelt --demo
        ;;
    test)
        build build
        run_tests build
        # The core again under the sanitizers: memory and undefined behaviour, then races.
        build build-asan -DCMAKE_BUILD_TYPE=Debug -DQUELT_UI=OFF -DQUELT_BENCH=OFF \
            -DQUELT_SANITIZE=address,undefined
        run_tests build-asan
        build build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELT_UI=OFF -DQUELT_BENCH=OFF \
            -DQUELT_SANITIZE=thread
        run_tests build-tsan
        ;;
    *)
        echo "usage: ./run.sh [test]" >&2
        exit 2
        ;;
esac
