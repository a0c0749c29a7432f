#!/usr/bin/env bash
# Presses "导入" under Xvfb and saves a picture of the file dialog, with Qt's Chinese texts, open
# on the documents folder of a scratch home folder: a folder and two sample texts.
#   tools/screenshot_dialog.sh [BUILD_DIR] [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
out=$(realpath -m "${2:-docs/import-dialog.png}")
mkdir -p "$(dirname "$out")"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/Documents/旧稿"
cp tools/screenshot_sample.txt "$scratch/Documents/会议纪要.txt"
cp tools/auto_learning_sample.txt "$scratch/Documents/调研报告.txt"
# The dialog starts in the folder of the last import, which the build's window-state.ini may name.
state="$build/window-state.ini"
[ -e "$state" ] && mv "$state" "$scratch/window-state.ini"
trap '[ -e "$scratch/window-state.ini" ] && mv "$scratch/window-state.ini" "$state"; rm -rf "$scratch"' EXIT
env -u XDG_CONFIG_HOME HOME="$scratch" xvfb-run -a -s "-screen 0 1366x768x24" \
    "$build/tests/gui/import_dialog_screenshot" "$build" "$out"
