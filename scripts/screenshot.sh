#!/usr/bin/env bash
# Regenerates docs/screenshot.png, the picture of the main window in the
# README: builds velnor-screenshot, puts a few songs into its Repository and
# runs it without a display (Qt's offscreen platform).
#   scripts/screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELNOR_WERROR=ON
cmake --build "$build" -j 2 --target velnor-screenshot
tool="$build/tools/screenshot/velnor-screenshot"
repository="$(dirname "$tool")/Repository"
mkdir -p "$repository" docs
for song in "Autumn Waltz:48" "Blue Train:96" "Morning Raga:24" "Second Line:64"; do
    scripts/make-song.sh "$repository/${song%%:*}.mid" "${song%%:*}" "${song##*:}"
done
QT_QPA_PLATFORM=offscreen "$tool" docs/screenshot.png 900 640
