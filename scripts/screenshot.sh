#!/usr/bin/env bash
# Regenerates docs/screenshot.png, the picture of the main window in the
# README: bench/grab_window shows the window offscreen with a repository of
# songs and a browsed folder, and saves it.
#   scripts/screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELNOR_WERROR=ON
cmake --build "$build" -j 2 --target grab_window
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$build/bench/grab_window" docs/screenshot.png
echo "docs/screenshot.png: $(file -b docs/screenshot.png)"
