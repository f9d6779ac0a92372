#!/usr/bin/env bash
# Renders the four pages of the window into docs/images/page-*.png.
#   screenshots.sh              use (configure and build if needed) build/
#   screenshots.sh BUILD_DIR    use that build directory instead
# The pictures come from the program's own window on Qt's offscreen
# platform, so no display is needed and two runs on one machine give the
# same bytes. Fonts change the pictures: they are made with fonts-liberation
# and fonts-wqy-microhei installed, as scripts/setup.sh does.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-${VANTREL_BUILD_DIR:-$here/build}}
out=$here/docs/images

if [ $# -gt 1 ] || [ "${1:-}" = -h ] || [ "${1:-}" = --help ]; then
    echo "usage: $0 [BUILD_DIR]" >&2
    exit 2
fi

if ! command -v cmake >/dev/null; then
    echo "cmake is missing: run 'bash scripts/setup.sh run' once to install what the build needs." >&2
    exit 1
fi

if command -v dpkg-query >/dev/null; then
    for font in fonts-liberation fonts-wqy-microhei; do
        if ! dpkg-query -W -f='${Status}' "$font" 2>/dev/null | grep -q 'install ok installed'; then
            echo "warning: $font is not installed; the pictures will use other fonts." >&2
        fi
    done
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target vantrel-shots -j"$(nproc)"

mkdir -p "$out"
QT_QPA_PLATFORM=offscreen "$build/tools/vantrel-shots" "$out"
