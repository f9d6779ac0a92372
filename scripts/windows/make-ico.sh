#!/usr/bin/env bash
# make-ico.sh OUT.ico A.png [B.png ...]: a Windows icon holding the PNGs as
# they are (Windows reads PNG images in icons since Vista).
set -euo pipefail
out=$1
shift

# Little-endian bytes of a number.
le() {
    local value=$1 count=$2 i
    for ((i = 0; i < count; i++)); do
        printf "\\x$(printf %02x $(((value >> (8 * i)) & 255)))"
    done
}

# Width from the PNG header (bytes 16-19, big-endian).
png_width() {
    od -An -tu1 -j16 -N4 "$1" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 }'
}

{
    le 0 2
    le 1 2
    le $# 2
    offset=$((6 + 16 * $#))
    for png in "$@"; do
        width=$(png_width "$png")
        size=$(stat -c %s "$png")
        [ "$width" -ge 256 ] && width=0 # 0 stands for 256
        le "$width" 1
        le "$width" 1
        le 0 1
        le 0 1
        le 1 2
        le 32 2
        le "$size" 4
        le "$offset" 4
        offset=$((offset + size))
    done
    cat "$@"
} >"$out.tmp"
mv "$out.tmp" "$out"
