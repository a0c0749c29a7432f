#!/usr/bin/env bash
# The revised document as LibreOffice shows it: LibreOffice makes a .docx of the sample text, the
# desktop program (under Xvfb) imports and checks it, accepts two suggestions, types over a phrase
# and exports through "导出修订稿"; LibreOffice prints the result to PDF with its tracked changes
# shown (its PDF export leaves the comments out), and the text of the first page is saved as a
# picture (pdftoppm, from poppler-utils).
#   tools/screenshot_revisions.sh [BUILD_DIR] [TEXT_FILE] [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
text=${2:-tools/screenshot_sample.txt}
out=${3:-docs/revisions-in-office.png}
mkdir -p "$(dirname "$out")"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
office() {
    soffice -env:UserInstallation="file://$scratch/profile" --headless --norestore "$@" \
        --outdir "$scratch" >/dev/null 2>&1
}
cp "$text" "$scratch/书稿.txt"
office --infilter="Text (encoded):UTF8,LF,,," --convert-to 'docx:MS Word 2007 XML' "$scratch/书稿.txt"
xvfb-run -a -s "-screen 0 1024x768x24" "$build/tests/gui/revision_screenshot_driver" "$build" \
    "$scratch/书稿.docx" "$scratch/书稿-校对.docx" "$scratch/window.png"
office --convert-to pdf "$scratch/书稿-校对.docx"
# The top of the first page, where the text is.
pdftoppm -png -r 130 -f 1 -l 1 -x 78 -y 92 -W 950 -H 150 -singlefile "$scratch/书稿-校对.pdf" \
    "$scratch/page"
cp "$scratch/page.png" "$out"
echo "saved $out"
