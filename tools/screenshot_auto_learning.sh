#!/usr/bin/env bash
# Starts the desktop program's windows under Xvfb with the dictionaries beside the build, imports
# a sample text, checks it and saves a picture of the auto-learning window with its groups.
#   tools/screenshot_auto_learning.sh [BUILD_DIR] [TEXT_FILE] [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
text=${2:-tools/auto_learning_sample.txt}
out=${3:-docs/auto-learning-window.png}
mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 1024x768x24" \
    "$build/tests/gui/auto_learning_screenshot" "$build" "$text" "$out"
