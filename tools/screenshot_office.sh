#!/usr/bin/env bash
# LibreOffice Writer underlining a Chinese document through `kanjianfang-cli serve`, under Xvfb:
# saves docs/office-writer.png.
#   tools/screenshot_office.sh [BUILD_DIR] [OUT.png]
# libreoffice-writer-nogui, which the tests use, cannot draw windows. Rather than replacing it,
# the script makes a private LibreOffice of the same version that can: a copy of the installed
# /usr/lib/libreoffice with the drawing parts of libreoffice-core and libreoffice-writer and two
# libraries they need (apt-get download, unpacked), kept in ~/.cache/kanjianfang-office. Needs
# Xvfb, Debian's python3-uno and the build's tests/gui/screen_grab.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
out=${2:-docs/office-writer.png}
mkdir -p "$(dirname "$out")"
out=$(realpath "$out")

version=$(dpkg-query -W -f='${Version}' libreoffice-core-nogui 2>/dev/null ||
    dpkg-query -W -f='${Version}' libreoffice-core)
# No colon in the path: it separates the folders of LD_LIBRARY_PATH.
office=${KJF_OFFICE_CACHE:-$HOME/.cache/kanjianfang-office}/${version//:/_}
if [ ! -x "$office/libreoffice/program/soffice" ]; then
    rm -rf "$office"
    mkdir -p "$office/debs" "$office/stage" "$office/lib"
    (cd "$office/debs" && apt-get download "libreoffice-core=$version" \
        "libreoffice-writer=$version" libepoxy0 libzxing2)
    for deb in "$office"/debs/*.deb; do dpkg -x "$deb" "$office/stage"; done
    # Links followed: the installed tree links to /usr/share by relative paths.
    cp -rL /usr/lib/libreoffice "$office/"
    cp -rL "$office/stage/usr/lib/libreoffice/." "$office/libreoffice/"
    cp -a "$office"/stage/usr/lib/x86_64-linux-gnu/*.so* "$office/lib/"
    # Debian's bootstrap files name the installed tree; this copy is to use its own.
    sed -i "s|file:///usr/lib/libreoffice|file://$office/libreoffice|g" \
        "$office"/libreoffice/program/*rc
    rm -rf "$office/stage" "$office/debs"
fi

scratch=$(mktemp -d)
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" || true
    rm -rf "$scratch"
}
trap cleanup EXIT
"$build/kanjianfang-cli" --root "$build" serve --port 0 >"$scratch/url" &
server=$!
for _ in $(seq 300); do [ -s "$scratch/url" ] && break; sleep 0.1; done
url=$(head -n1 "$scratch/url")

xvfb-run -a -s "-screen 0 1280x800x24" \
    env SAL_USE_VCLPLUGIN=gen LD_LIBRARY_PATH="$office/lib" PYTHONDONTWRITEBYTECODE=1 \
    /usr/bin/python3 tools/office_screenshot.py "$office/libreoffice/program/soffice" "$url" \
    "$build/tests/gui/screen_grab" "$out"
echo "saved $out"
