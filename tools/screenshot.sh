#!/usr/bin/env bash
# Starts the desktop program's windows under Xvfb with the dictionaries beside the build, pastes
# a sample text, runs a check and saves a picture of the main window.
#   tools/screenshot.sh [BUILD_DIR] [TEXT_FILE] [OUT.png]
# The screen is a 1366 x 768 laptop's; with QT_SCALE_FACTOR=2 in the environment the windows are
# drawn at twice the size on a screen of twice the pixels, 2732 x 1536 (docs/main-window-2x.png is
# made so).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
text=${2:-tools/screenshot_sample.txt}
out=${3:-docs/main-window.png}
mkdir -p "$(dirname "$out")"
scale=${QT_SCALE_FACTOR:-1}
xvfb-run -a -s "-screen 0 $((1366 * scale))x$((768 * scale))x24" \
    "$build/tests/gui/screenshot_driver" "$build" "$text" "$out"
