#!/usr/bin/env bash
# ./run.sh [--record FILE ...]  install what is missing, build, start Quelt (options go to quelt --demo)
# ./run.sh test   install what is missing, build, run every test
# ./run.sh fuzz [seconds]  build the fuzz targets with clang and run each that long
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake ninja-build g++ qt6-base-dev libxcb1-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-noto-cjk qt6-translations-l10n
          libpcap-dev xvfb openbox tshark)
# libxcb1-dev: the X events a window manager frames windows with; libpcap-dev: quelt-decode
# reads pcap and pcapng; xvfb, openbox: GUI tests on a real X server with a window manager;
# tshark: a test checks that Wireshark's dissector reads the recordings.

install_missing() {
    local missing=() pkg
    for pkg in "${PACKAGES[@]}" "$@"; do
        dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
    done
    ((${#missing[@]} == 0)) && return
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update
    # tshark asks whether to capture as non-root: no question, its default answer.
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
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

# fuzz [seconds]: every libFuzzer target for that long (default 60 s), one after the other;
# new inputs gather in build-fuzz/corpus, findings land in build-fuzz as crash-* files.
fuzz() {
    local seconds=${1:-60} target log
    CC=clang CXX=clang++ build build-fuzz -DQUELT_FUZZ=ON -DQUELT_UI=OFF -DQUELT_BENCH=OFF -DBUILD_TESTING=OFF \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELT_SANITIZE=address,undefined
    for target in LinkReceive Transport Response Capture Outstation Decode; do
        mkdir -p "build-fuzz/corpus/$target"
        log="build-fuzz/fuzz-$target.log"
        (cd build-fuzz && "./fuzz/quelt_fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
            "corpus/$target" "../fuzz/corpus/$target" >"../$log" 2>&1) || {
            echo "$target: FINDING, see $log"
            return 1
        }
        echo "$target: $(grep -m1 -E '^stat::number_of_executed_units' "$log" | awk '{print $2}') executions," \
            "$(grep -E '#[0-9]+[[:space:]]+DONE' "$log" | grep -oE 'cov: [0-9]+ ft: [0-9]+')"
    done
}

case "${1:-}" in
    fuzz)
        install_missing clang
        fuzz "${2:-60}"
        exit
        ;;
esac
install_missing
case "${1:-}" in
    "" | --*)
        build build
        exec ./build/quelt --demo "$@"
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
        echo "usage: ./run.sh [test | fuzz [seconds] | --record FILE ...]" >&2
        exit 2
        ;;
esac
