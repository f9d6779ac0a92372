#!/usr/bin/env bash
# Renders data/vantrel.svg and data/vantrel-station.svg into the PNG sizes the
# desktop's icon theme and the windows use. The PNGs are committed, so a build needs no SVG renderer; run
# this again after changing the SVG.
#   render-icons.sh [--check]   --check: only tell whether the PNGs are stale
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Application id and its SVG.
icons=("io.github.vantrel.Vantrel:vantrel.svg" "io.github.vantrel.Station:vantrel-station.svg")
sizes=(16 24 32 48 64 128 256)

check=0
case "${1:-}" in
"") ;;
--check) check=1 ;;
*)
    echo "usage: $0 [--check]" >&2
    exit 2
    ;;
esac

command -v rsvg-convert >/dev/null || {
    echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2
    exit 1
}

stale=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for icon in "${icons[@]}"; do
    id=${icon%%:*}
    svg=$here/data/${icon#*:}
    for size in "${sizes[@]}"; do
        out=$here/data/icons/hicolor/${size}x${size}/apps/$id.png
        rsvg-convert --width "$size" --height "$size" --format png "$svg" -o "$scratch/$size.png"
        if [ "$check" = 1 ]; then
            if ! cmp -s "$scratch/$size.png" "$out"; then
                echo "stale: ${out#"$here"/}"
                stale=1
            fi
        else
            mkdir -p "$(dirname "$out")"
            cp "$scratch/$size.png" "$out"
            echo "${out#"$here"/}"
        fi
    done
done
exit $stale
