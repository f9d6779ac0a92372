#!/usr/bin/env bash
# Installs what is missing on Debian 12, builds, then runs the program or the tests.
#   setup.sh run    build and start the program
#   setup.sh test   build and run the whole test suite
set -euo pipefail

mode=${1:-run}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VANTREL_BUILD_DIR:-$here/build}

packages=(cmake g++ make qt6-base-dev qt6-serialport-dev libgl-dev
          xvfb xauth fonts-liberation fonts-wqy-microhei)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_WERROR=$werror
cmake --build "$build" -j"$(nproc)"

case "$mode" in
run)
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset)." >&2
        echo "Start the program under a virtual display instead:" >&2
        echo "    xvfb-run -a $build/app/vantrel" >&2
        exit 1
    fi
    exec "$build/app/vantrel"
    ;;
test)
    cd "$build"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
