#!/usr/bin/env bash
# Opens the settings window (system correct dictionaries beside the build) and the about window
# under Xvfb on a 1366 x 768 screen (twice that with QT_SCALE_FACTOR=2) and saves a picture of each.
#   tools/screenshot_settings.sh [BUILD_DIR] [SETTINGS.png] [ABOUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
settings=${2:-docs/settings-window.png}
about=${3:-docs/about-window.png}
mkdir -p "$(dirname "$settings")" "$(dirname "$about")"
scale=${QT_SCALE_FACTOR:-1}
xvfb-run -a -s "-screen 0 $((1366 * scale))x$((768 * scale))x24" \
    "$build/tests/gui/settings_screenshot_driver" "$build" "$settings" "$about"
