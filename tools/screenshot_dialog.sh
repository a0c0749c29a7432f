#!/usr/bin/env bash
# Presses "导入" under Xvfb and saves a picture of the file dialog, with Qt's Chinese texts, open
# on a folder of two sample texts.
#   tools/screenshot_dialog.sh [BUILD_DIR] [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
out=$(realpath -m "${2:-docs/import-dialog.png}")
mkdir -p "$(dirname "$out")"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/文稿"
cp tools/screenshot_sample.txt "$scratch/文稿/会议纪要.txt"
cp tools/auto_learning_sample.txt "$scratch/文稿/调研报告.txt"
cd "$scratch/文稿"
xvfb-run -a -s "-screen 0 1024x768x24" "$build/tests/gui/import_dialog_screenshot" "$build" "$out"
