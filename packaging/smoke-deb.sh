#!/usr/bin/env bash
# Starts the programs as packaged, on a virtual display: the start-up notice
# must come up, Return must dismiss it, and the window must then show with
# its icon; the station window must show with its own. The package is
# unpacked into a scratch folder, not installed.
#   smoke-deb.sh PACKAGE.deb
set -euo pipefail

[ $# -eq 1 ] || {
    echo "usage: $0 PACKAGE.deb" >&2
    exit 2
}
deb=$(realpath "$1")

if [ -z "${SMOKE_INSIDE_XVFB:-}" ]; then
    SMOKE_INSIDE_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$deb"
fi

scratch=$(mktemp -d)
program_pid=
station_pid=
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$station_pid" ] && kill "$station_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$scratch"

# Waits up to ten seconds for a window whose title is exactly $1.
window_named() {
    for _ in $(seq 1 100); do
        if id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

"$scratch/usr/bin/vantrel" >"$scratch/output.txt" 2>&1 &
program_pid=$!

if ! notice=$(window_named Notice); then
    echo "FAILED: no start-up notice within 10 s; the program said:" >&2
    cat "$scratch/output.txt" >&2
    exit 1
fi
echo "ok: start-up notice shown"
xdotool windowfocus --sync "$notice" key Return

if ! window=$(window_named Vantrel); then
    echo "FAILED: no window after the notice was accepted; the program said:" >&2
    cat "$scratch/output.txt" >&2
    exit 1
fi
echo "ok: window shown"

# _NET_WM_ICON holds width, height, pixels for each size.
icon=$(xprop -id "$window" -notype _NET_WM_ICON)
if [[ "$icon" != *"Icon ("*")"* ]]; then
    echo "FAILED: the window has no icon: $(echo "$icon" | head -n 1)" >&2
    exit 1
fi
sizes=$(printf '%s\n' "$icon" | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ')
echo "ok: window icon, sizes $sizes"

# The station window, in English, with settings of its own in the scratch
# folder.
printf '[window]\nlanguage=en\n' >"$scratch/station.ini"
"$scratch/usr/bin/vantrel-station" --settings "$scratch/station.ini" >"$scratch/station.txt" 2>&1 &
station_pid=$!
if ! station=$(window_named "Vantrel Station"); then
    echo "FAILED: no station window within 10 s; the program said:" >&2
    cat "$scratch/station.txt" >&2
    exit 1
fi
icon=$(xprop -id "$station" -notype _NET_WM_ICON)
if [[ "$icon" != *"Icon ("*")"* ]]; then
    echo "FAILED: the station window has no icon: $(echo "$icon" | head -n 1)" >&2
    exit 1
fi
echo "ok: station window shown with its icon"
