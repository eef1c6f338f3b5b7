#!/usr/bin/env bash
# Makes docs/main-screen.png (Quelt in automatic mode against the simulated RTU, on the
# offscreen platform with a 1024 x 768 desktop) and docs/analysis-window.png (the analysis
# window on the same traffic). Takes about a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DQUELT_DOCS=ON >/dev/null
cmake --build build --target quelt_screenshot
QT_QPA_PLATFORM="offscreen:configfile=$PWD/tests/gui/screen-1024x768.json" \
    ./build/quelt_screenshot docs/main-screen.png docs/analysis-window.png
echo "docs/main-screen.png docs/analysis-window.png"
