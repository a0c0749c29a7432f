#!/usr/bin/env bash
# Under Xvfb: checks the sample text and saves a picture of the error list's context menu.
#   tools/screenshot_list_menu.sh [BUILD_DIR] [TEXT_FILE] [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
text=${2:-tools/screenshot_sample.txt}
out=${3:-docs/error-list-menu.png}
mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 1280x800x24" \
    "$build/tests/gui/screenshot_driver" "$build" "$text" "$out" --list-menu
