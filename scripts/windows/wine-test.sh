#!/usr/bin/env bash
# The Windows build under Wine, against the dongle emulator on the Linux side:
#   wine-test.sh LINUX_BUILD_DIR [WINDOWS_BUILD_DIR]
# installs the installer silently into a fresh Wine prefix, runs the serial
# backend's test over a pseudo-terminal, drives the installed vantrel.exe
# (start-up notice, window, Auto Scan, General Setting OK and Fail), runs the
# installed vantrel-set.exe, and uninstalls. Needs scripts/windows/build.sh
# to have run. Nothing here is judged by time: waits poll with generous
# limits.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
linux_build=$(cd "$1" && pwd)
out=$(cd "${2:-$here/build-win}" && pwd)
version=$(sed -n 's/^project(Vantrel VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
installer=$out/Vantrel-$version-setup.exe
qt=$(bash "$here/scripts/windows/qt.sh")
work=$out/wine-test
rm -rf "$work"
mkdir -p "$work/probe" "$work/bin"

export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko prompts, and no menu entries on the Linux side for the
# shortcut the installer makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
pids=()
cleanup() {
    wineserver -k 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

fail() {
    echo "wine-test: $*" >&2
    exit 1
}

# Polls until a command succeeds; the limit is only there to end a hang.
wait_for() {
    local limit=$1 what=$2
    shift 2
    local start=$SECONDS
    until "$@"; do
        [ $((SECONDS - start)) -lt "$limit" ] || fail "gave up after ${limit}s waiting for $what"
        sleep 0.2
    done
}

winpath() { echo "Z:${1//\//\\}"; }

# A Windows program, ended if it hangs (a box nobody answers); the limit is
# far beyond any normal run.
win() { timeout 300 wine "$@"; }

echo "Wine prefix: $WINEPREFIX"
wineboot -i >"$work/wineboot.log" 2>&1

# Wine's serial wait asks for the modem lines, which a pseudo-terminal
# refuses: the preload answers for ptys. Both helpers are Linux programs.
gcc -O2 -Wall -shared -fPIC -o "$work/pty_modem_shim.so" "$here/tests/windows/pty_modem_shim.c" -ldl
gcc -O2 -Wall -o "$work/pty_peer" "$here/tests/windows/pty_peer.c"

# The far ends: an answering emulator (COM5), a silent one (COM6) and the
# echoing peer of the backend test (COM7).
start_line() {
    local name=$1
    shift
    "$@" >"$work/$name.log" 2>&1 &
    pids+=($!)
}
start_line dongle "$linux_build/tools/vantrel-dongle"
start_line silent "$linux_build/tools/vantrel-dongle" --silent
start_line peer "$work/pty_peer"
device_of() { sed -n 's/^Device: //p' "$work/$1.log" | head -n1; }
wait_for 30 "the emulators" grep -q '^Device: ' "$work/dongle.log"
wait_for 30 "the silent emulator" grep -q '^Device: ' "$work/silent.log"
wait_for 30 "the peer" grep -q '^/dev/' "$work/peer.log"
dongle_pty=$(device_of dongle)
silent_pty=$(device_of silent)
peer_pty=$(head -n1 "$work/peer.log")

# Every COM number Auto Scan tries is named: the three lines, and a path that
# does not exist for the rest. Wine then gives its automatic link to the
# machine's first serial line (/dev/ttyS0) a number past 50, where no scan
# or test ever opens it.
mkdir -p "$work/fonts"
ln -s /usr/share/fonts/truetype/liberation/LiberationSans-*.ttf "$work/fonts/"
{
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n'
    for n in $(seq 1 50); do
        case $n in
        5) target=$dongle_pty ;;
        6) target=$silent_pty ;;
        7) target=$peer_pty ;;
        *) target=/nonexistent/vantrel-test-port ;;
        esac
        printf '"COM%s"="%s"\n' "$n" "$target"
    done
    # Qt's offscreen platform on Windows reads fonts from one folder, and
    # Wine does not pass QT_ variables on: Windows' own environment names it.
    # Only Liberation Sans (Arial's metrics) is there, as the window asks for
    # Arial and this font database knows no substitutes.
    printf '\n[HKEY_CURRENT_USER\\Environment]\n"QT_QPA_FONTDIR"="%s"\n' \
        "$(winpath "$work/fonts" | sed 's/\\/\\\\/g')"
} >"$work/ports.reg"
wine regedit /S "$(winpath "$work/ports.reg")"
wineserver -k || true
wineserver -w
export LD_PRELOAD=$work/pty_modem_shim.so
# The Wine server, started here so that its output goes to a file: a line
# that hangs up sends it SIGHUP, upon which it prints all its objects.
wineserver -p >"$work/wineserver.log" 2>&1
echo "COM5 -> $dongle_pty (emulator), COM6 -> $silent_pty (silent emulator), COM7 -> $peer_pty (echo)"

stage() { echo "---- $*"; }

stage "Silent install"
win "$(winpath "$installer")" /S
programs="$WINEPREFIX/drive_c/Program Files/Vantrel"
for f in vantrel.exe vantrel-set.exe uninstall.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
    platforms/qwindows.dll styles/qwindowsvistastyle.dll libstdc++-6.dll libgcc_s_seh-1.dll \
    libwinpthread-1.dll; do
    [ -f "$programs/$f" ] || fail "not installed: $f"
done
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Vantrel.lnk"
[ -f "$shortcut" ] || fail "no Start-menu entry"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel'
wine reg query "$key" /v DisplayVersion 2>/dev/null | tr -d '\r' | grep -q "$version" ||
    fail "no uninstall entry for version $version"
echo "installed: $(cd "$programs" && find . -type f | wc -l) files, Start-menu entry, uninstall entry"

stage "Serial backend over a pseudo-terminal (win_serial_port_test)"
cp "$out/cmake/win_serial_port_test.exe" "$out/stage/Vantrel/"*.dll "$qt/bin/Qt6Test.dll" \
    "$work/bin/"
# Qt Test's own output does not reach the Linux side: it goes to a file.
status=0
win "$work/bin/win_serial_port_test.exe" -o "$(winpath "$work/win_serial_port_test.txt"),txt" \
    >"$work/win_serial_port_test.log" 2>&1 || status=$?
tr -d '\r' <"$work/win_serial_port_test.txt" || true
[ "$status" -eq 0 ] || fail "win_serial_port_test failed ($status)"

stage "The installed vantrel.exe: notice, window, Auto Scan, General Setting"
# The probe is a Qt generic plugin found in the program's own folder; it is
# removed again before the uninstall is checked.
mkdir -p "$programs/generic" "$work/platforms"
cp "$out/cmake/tests/windows/vantrelprobe.dll" "$programs/generic/"
cp "$qt/plugins/platforms/qoffscreen.dll" "$work/platforms/"
status=0
win "$programs/vantrel.exe" -platform offscreen -platformpluginpath "$(winpath "$work/platforms")" \
    -plugin "vantrelprobe:$(winpath "$work/probe")" >"$work/vantrel.log" 2>&1 || status=$?
rm -rf "$programs/generic"
cat "$work/probe/probe-report.txt" 2>/dev/null || fail "the probe wrote no report (exit $status)"
[ "$status" -eq 0 ] || fail "vantrel.exe under the probe: $status failed checks (see above and $work/vantrel.log)"
grep -q '^<- General: ' "$work/dongle.log" || fail "the emulator decoded no General frame"
grep -q '^-> 55 AA' "$work/dongle.log" || fail "the emulator did not answer"
grep -q '^<- General: ' "$work/silent.log" || fail "the silent emulator got no General frame"
echo "emulator: $(grep -m1 '^<- General: ' "$work/dongle.log")"

stage "vantrel-set.exe"
settings=(--channel 5 --master 1,2,3 --receive-timeout 1000)
"$linux_build/tools/vantrel-set" --dry-run "${settings[@]}" >"$work/set-linux.txt"
win "$programs/vantrel-set.exe" --dry-run "${settings[@]}" | tr -d '\r' >"$work/set-windows.txt"
diff -u "$work/set-linux.txt" "$work/set-windows.txt" || fail "--dry-run frames differ from Linux"
cat "$work/set-windows.txt"
set_status=0
win "$programs/vantrel-set.exe" COM5 "${settings[@]}" >"$work/set-com5.txt" 2>&1 || set_status=$?
tr -d '\r' <"$work/set-com5.txt"
[ "$set_status" -eq 0 ] || fail "vantrel-set.exe COM5 exited with $set_status"
[ "$(tr -d '\r' <"$work/set-com5.txt" | grep -c '^Setting OK !!')" -eq 3 ] || fail "vantrel-set.exe: not three acknowledgements"

stage "Silent uninstall"
win "$programs/uninstall.exe" /S
# The uninstaller runs from a copy of itself and returns at once.
wait_for 120 "the uninstaller to finish" test ! -e "$programs"
wait_for 30 "the Start-menu entry to go" test ! -e "$shortcut"
wine reg query "$key" >/dev/null 2>&1 && fail "the uninstall entry is still there"
echo "uninstalled: no folder, no Start-menu entry, no uninstall entry"
echo "Windows checks under Wine passed"
