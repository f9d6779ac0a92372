#!/usr/bin/env bash
# The Windows build under Wine, against the dongle emulator on the Linux side:
#   wine-test.sh LINUX_BUILD_DIR [WINDOWS_BUILD_DIR]
# installs the installer silently into a fresh Wine prefix, runs the serial
# backend's test over a pseudo-terminal, drives the installed vantrel.exe
# (start-up notice, window, Auto Scan, General Setting OK and Fail) and
# vantrel-station.exe (window, language, supervisor PIN), runs the
# installed vantrel-set.exe (a port another process holds is busy), then its
# station as COM ports come and go and as it is stopped, and uninstalls.
# Needs scripts/windows/build.sh to have run. Nothing here is judged by time:
# waits poll with generous limits.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
linux_build=$(cd "$1" && pwd)
out=$(cd "${2:-$here/build-win}" && pwd)
version=$(sed -n 's/^project(Vantrel VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
installer=$out/Vantrel-$version-setup.exe
qt=$(bash "$here/scripts/windows/qt.sh")
work=$out/wine-test
# File systems a run that was cut short left mounted.
for dir in "$work/full" "$work/readonly"; do
    if mountpoint -q "$dir" 2>/dev/null; then umount -l "$dir"; fi
done
rm -rf "$work"
mkdir -p "$work/probe" "$work/bin" "$work/full" "$work/readonly"

export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko prompts, and no menu entries on the Linux side for the
# shortcut the installer makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
pids=()
mounts=()
pg_stop=()
cleanup() {
    [ ${#pg_stop[@]} -eq 0 ] || "${pg_stop[@]}" >/dev/null 2>&1 || true
    wineserver -k 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for dir in "${mounts[@]}"; do umount -l "$dir" 2>/dev/null || true; done
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
# echoing peer of the backend test (COM7); and for the station, the units
# plugged while it runs: one that answers, one that stays silent and one that
# hangs up on the first frame.
start_line() {
    local name=$1
    shift
    "$@" >"$work/$name.log" 2>&1 &
    pids+=($!)
}
start_line dongle "$linux_build/tools/vantrel-dongle"
start_line silent "$linux_build/tools/vantrel-dongle" --silent
start_line peer "$work/pty_peer"
start_line unit-ok "$linux_build/tools/vantrel-dongle"
start_line unit-silent "$linux_build/tools/vantrel-dongle" --silent
start_line unit-hangup "$linux_build/tools/vantrel-dongle" --fault 1:hangup
device_of() { sed -n 's/^Device: //p' "$work/$1.log" | head -n1; }
wait_for 30 "the emulators" grep -q '^Device: ' "$work/dongle.log"
wait_for 30 "the silent emulator" grep -q '^Device: ' "$work/silent.log"
wait_for 30 "the peer" grep -q '^/dev/' "$work/peer.log"
for unit in ok silent hangup; do
    wait_for 30 "the $unit unit" grep -q '^Device: ' "$work/unit-$unit.log"
done
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
for f in vantrel.exe vantrel-set.exe vantrel-station.exe uninstall.exe Qt6Core.dll Qt6Gui.dll \
    Qt6Widgets.dll Qt6Network.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll libstdc++-6.dll \
    libgcc_s_seh-1.dll libwinpthread-1.dll libpq.dll; do
    [ -f "$programs/$f" ] || fail "not installed: $f"
done
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Vantrel.lnk"
[ -f "$shortcut" ] || fail "no Start-menu entry"
station_shortcut="$(dirname "$shortcut")/Vantrel Station.lnk"
[ -f "$station_shortcut" ] || fail "no Start-menu entry for the station window"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel'
wine reg query "$key" /v DisplayVersion 2>/dev/null | tr -d '\r' | grep -q "$version" ||
    fail "no uninstall entry for version $version"
echo "installed: $(cd "$programs" && find . -type f | wc -l) files, Start-menu entries, uninstall entry"

stage "Serial backend over a pseudo-terminal (win_serial_port_test)"
cp "$out/cmake/win_serial_port_test.exe" "$out/stage/Vantrel/"*.dll "$qt/bin/Qt6Test.dll" \
    "$work/bin/"
# Qt Test's own output does not reach the Linux side: it goes to a file.
status=0
win "$work/bin/win_serial_port_test.exe" -o "$(winpath "$work/win_serial_port_test.txt"),txt" \
    >"$work/win_serial_port_test.log" 2>&1 || status=$?
tr -d '\r' <"$work/win_serial_port_test.txt" || true
[ "$status" -eq 0 ] || fail "win_serial_port_test failed ($status)"

# Permissions do not stop root: as root the stage mounts small file systems
# of its own, one full for the report's cut and one read-only for a report
# that cannot be written; otherwise the second is a folder without write
# permission, and the first is left out.
if [ "$(id -u)" -eq 0 ]; then
    mount -t tmpfs -o size=64k vantrel-wine-test "$work/full" && mounts+=("$work/full") || true
    mount -t tmpfs -o ro,size=16k vantrel-wine-test "$work/readonly" && mounts+=("$work/readonly") ||
        true
else
    chmod a-w "$work/readonly"
fi
full_folder=
mountpoint -q "$work/full" && full_folder=$(winpath "$work/full")

stage "The station's Windows parts (win_station_test)"
cp "$out/cmake/win_station_test.exe" "$work/bin/"
status=0
VANTREL_FULL_FOLDER=$full_folder win "$work/bin/win_station_test.exe" \
    -o "$(winpath "$work/win_station_test.txt"),txt" >"$work/win_station_test.log" 2>&1 || status=$?
tr -d '\r' <"$work/win_station_test.txt" || true
[ "$status" -eq 0 ] || fail "win_station_test failed ($status)"

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

stage "The installed vantrel-station.exe: window, language, supervisor PIN"
mkdir -p "$programs/generic" "$work/station-probe"
cp "$out/cmake/tests/windows/vantrelstationprobe.dll" "$programs/generic/"
# Settings of its own, in English and quiet.
printf '[window]\nlanguage=en\nsound=false\n' >"$work/station.ini"
status=0
win "$programs/vantrel-station.exe" --settings "$(winpath "$work/station.ini")" \
    -platform offscreen -platformpluginpath "$(winpath "$work/platforms")" \
    -plugin "vantrelstationprobe:$(winpath "$work/station-probe")" >"$work/station-window.log" 2>&1 ||
    status=$?
rm -rf "$programs/generic"
cat "$work/station-probe/station-probe-report.txt" 2>/dev/null ||
    fail "the station probe wrote no report (exit $status)"
[ "$status" -eq 0 ] ||
    fail "vantrel-station.exe under the probe: $status failed checks (see above and $work/station-window.log)"
grep -q 'pbkdf2-sha256\$20000\$[0-9a-f]\{32\}\$[0-9a-f]\{64\}' "$work/station.ini" ||
    fail "no salted PIN hash in the station window's settings ($work/station.ini)"
grep -qx '[^=]*=2468' "$work/station.ini" && fail "the PIN itself is in the settings"
echo "station window: PIN kept as its PBKDF2 hash"

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
# A port another process holds is busy: COM6 (the silent emulator) held by
# one vantrel-set.exe while it waits for its answer, refused to a second.
frames_at() { grep -c '^<- General: ' "$work/$1.log" || true; }
more_frames_at() { [ "$(frames_at "$1")" -gt "$2" ]; } # NAME COUNT
silent_frames=$(frames_at silent)
timeout 300 wine "$programs/vantrel-set.exe" COM6 --channel 5 --wait-ms 10000 \
    >"$work/set-hold.txt" 2>&1 &
holder=$!
wait_for 60 "COM6 to be held" more_frames_at silent "$silent_frames"
busy_status=0
win "$programs/vantrel-set.exe" COM6 --channel 5 >"$work/set-busy.txt" 2>&1 || busy_status=$?
wait "$holder" || true
tr -d '\r' <"$work/set-busy.txt"
[ "$busy_status" -eq 3 ] || fail "vantrel-set.exe on COM6, held by another, exited with $busy_status, not 3"
grep -q 'busy' "$work/set-busy.txt" || fail "COM6, held by another process, was not reported busy"
[ "$(frames_at silent)" -eq $((silent_frames + 1)) ] ||
    fail "a frame reached COM6 from the second vantrel-set.exe"

stage "The station: vantrel-set.exe --watch as COM ports come and go"
# A port comes as a driver would bring it: its link, then its name in
# SERIALCOMM; it goes when the name goes. The Wine server keeps SERIALCOMM
# while it runs (it rebuilds it from the Ports key when it starts).
serialcomm='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
plug() { # NUMBER UNIT
    ln -sfn "$(device_of "unit-$2")" "$WINEPREFIX/dosdevices/com$1"
    wine reg add "$serialcomm" /v "\\Device\\Serial$(($1 - 1))" /d "COM$1" /f >/dev/null
}
unplug() { wine reg delete "$serialcomm" /v "\\Device\\Serial$(($1 - 1))" /f >/dev/null; }
# "KIND DEVICE RESULT" for each record of a JSON Lines report, read by key; a
# line that is not one whole object fails.
records() {
    local line
    tr -d '\r' <"$1" | while IFS= read -r line; do
        [[ $line == '{'*'}' ]] || fail "not a whole record in $1: $line"
        echo "$(key kind "$line") $(key device "$line") $(key result "$line")"
    done
}
key() { sed -n "s/.*\"$1\":\"\([^\"]*\)\".*/\1/p" <<<"$2" | grep . || echo -; }
lines_are() { [ "$(grep -c "$2" "$3")" -eq "$1" ]; } # COUNT TEXT FILE

# Present at the start, and left alone: COM5 and COM6 (the emulators above).
{
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n'
    wine reg query "$serialcomm" | tr -d '\r' |
        awk '$2 == "REG_SZ" && $3 != "COM5" && $3 != "COM6" { print $1 }' |
        sed 's/\\/\\\\/g; s/.*/"&"=-/'
} >"$work/serialcomm.reg"
wine regedit /S "$(winpath "$work/serialcomm.reg")"
present_frames="$(frames_at dongle) $(frames_at silent)"

timeout 300 wine "$programs/vantrel-set.exe" --watch --match-any --verbose --settle-ms 300 \
    --wait-ms 1000 "${settings[@]}" --report "$(winpath "$work/units.jsonl")" \
    >"$work/station.out" 2>"$work/station.err" &
station=$!
wait_for 60 "the station to wait" grep -qs 'waiting for devices' "$work/station.err"
plug 8 ok
plug 10 hangup
wait_for 60 "COM10" grep -q 'COM10: Port error !!' "$work/station.out"
wait_for 60 "COM8" grep -q 'COM8: Setting OK !!' "$work/station.out"
# The next unit in the same socket is a unit of its own.
unplug 8
wait_for 60 "COM8 to be seen going" grep -q 'COM8 went away' "$work/station.err"
plug 8 ok
wait_for 60 "COM8 again" lines_are 2 'COM8: Setting OK !!' "$work/station.out"
# Ctrl+C while the silent unit waits for its answer (1 s here).
plug 9 silent
wait_for 60 "COM9 to start" grep -qs '"kind":"started".*"device":"COM9"' "$work/units.jsonl"
kill -INT "$station"
status=0
wait "$station" || status=$?
tr -d '\r' <"$work/station.out"
grep -v -e ' -> ' -e ' <- ' "$work/station.err" | tr -d '\r'
[ "$status" -eq 3 ] || fail "the station's exit status was $status, not 3 (a port error, the worst)"
grep -q 'stopping once the 1 unit(s) under way ended' "$work/station.err" ||
    fail "the stop did not come while COM9 was under way"
[ "$(tr -d '\r' <"$work/station.out" | tail -n1)" = \
    "Station stopped. 4 units: 2 acknowledged, 2 failed (no-answer 1, port-error 1)." ] ||
    fail "no summary, or the wrong one"
diff -u <(printf '%s\n' 'station - -' 'started COM8 -' 'result COM8 ok' 'started COM10 -' \
    'result COM10 port-error' 'started COM8 -' 'result COM8 ok' 'started COM9 -' \
    'result COM9 no-answer' | sort) <(records "$work/units.jsonl" | sort) ||
    fail "the records are not one started and one result record for each unit"
[ "$(frames_at dongle) $(frames_at silent)" = "$present_frames" ] ||
    fail "the station sent frames to COM5 or COM6, which were there before it"
echo "records: $(wc -l <"$work/units.jsonl") whole, by unit as above; COM5 and COM6 left alone"

stage "The station with a report that cannot be written"
if [ -w "$work/readonly" ] && ! mountpoint -q "$work/readonly"; then
    echo "skipped: no folder this user cannot write to (root, and no file system could be mounted)"
else
    status=0
    win "$programs/vantrel-set.exe" --watch --match-any "${settings[@]}" \
        --report "$(winpath "$work/readonly/units.jsonl")" >"$work/readonly.out" 2>&1 ||
        status=$?
    tr -d '\r' <"$work/readonly.out"
    [ "$status" -eq 4 ] || fail "exit status $status, not 4"
    grep -q 'Cannot write the report' "$work/readonly.out" || fail "no reason given"
    grep -q 'waiting for devices' "$work/readonly.out" && fail "it waited for devices"
fi

stage "The station at a log-off (wineboot --end-session), a unit under way"
# Windows tells a program that has windows of a session's end through a
# window: Wine needs a display for one, from the first program of its
# server on (a server restarted here; it rebuilds SERIALCOMM, COM9 there).
if ! command -v Xvfb >/dev/null; then
    echo "skipped: no Xvfb"
else
    Xvfb -displayfd 3 -nolisten tcp 3>"$work/xvfb.display" >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    wait_for 30 "Xvfb" test -s "$work/xvfb.display"
    export DISPLAY=:$(cat "$work/xvfb.display")
    wineserver -k
    wineserver -w
    wineserver -p >>"$work/wineserver.log" 2>&1
    unplug 9
    timeout 300 wine "$programs/vantrel-set.exe" --watch --match COM9 --settle-ms 300 \
        --wait-ms 1000 "${settings[@]}" --report "$(winpath "$work/logoff.jsonl")" \
        >"$work/logoff.out" 2>"$work/logoff.err" &
    station=$!
    wait_for 60 "the station to wait" grep -qs 'waiting for devices' "$work/logoff.err"
    plug 9 silent
    wait_for 60 "COM9 to start" grep -qs '"kind":"started".*"device":"COM9"' "$work/logoff.jsonl"
    wineboot --end-session --shutdown
    status=0
    wait "$station" || status=$?
    tr -d '\r' <"$work/logoff.out"
    [ "$status" -eq 1 ] || fail "exit status $status, not 1 (no answer)"
    [ "$(tr -d '\r' <"$work/logoff.out" | tail -n1)" = \
        "Station stopped. 1 unit: 0 acknowledged, 1 failed (no-answer 1)." ] || fail "no summary"
    records "$work/logoff.jsonl" | grep -qx 'result COM9 no-answer' || fail "no result record"
fi

stage "The store: vantrel-set.exe --forward over TCP to a local PostgreSQL"
# A server of the stage's own on 127.0.0.1, password login (SCRAM); as root
# it runs as the unprivileged postgres (initdb refuses root).
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1 || true)
if [ -z "$pg_bin" ] || [ ! -x "$pg_bin/initdb" ]; then
    echo "skipped: no PostgreSQL server programs (Debian: postgresql-15)"
else
    store_started=$SECONDS
    pg_dir=$work/pg
    mkdir -p "$pg_dir"
    as_pg=()
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres "$pg_dir"
        as_pg=(runuser -u postgres --)
    fi
    "${as_pg[@]}" "$pg_bin/initdb" -D "$pg_dir/data" -U vantrel_admin --auth-local=trust \
        --auth-host=scram-sha-256 -N -E UTF8 --locale=C >"$work/initdb.log" 2>&1 ||
        fail "initdb failed (see $work/initdb.log)"
    pg_port=$((20000 + $$ % 20000))
    printf "listen_addresses = '127.0.0.1'\nport = %s\nunix_socket_directories = '%s'\nfsync = off\n" \
        "$pg_port" "$pg_dir" >>"$pg_dir/data/postgresql.conf"
    "${as_pg[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/log" -w start >/dev/null ||
        fail "the PostgreSQL server did not start (see $pg_dir/log)"
    pg_stop=("${as_pg[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -m fast -w stop)
    psql_admin() { "$pg_bin/psql" -X -q -t -A -h "$pg_dir" -p "$pg_port" -U vantrel_admin "$@"; }
    psql_admin -d postgres -c "CREATE ROLE station LOGIN PASSWORD 'wine-secret'" \
        -c "CREATE DATABASE line OWNER station"
    printf '127.0.0.1:%s:line:station:wine-secret\n' "$pg_port" >"$work/pgpass"
    store="host=127.0.0.1 port=$pg_port dbname=line user=station"
    records=$(grep -c . "$work/units.jsonl")
    for round in first again; do
        status=0
        PGPASSFILE=$(winpath "$work/pgpass") win "$programs/vantrel-set.exe" \
            --forward "$(winpath "$work/units.jsonl")" --store "$store" \
            >"$work/forward-$round.out" 2>&1 || status=$?
        tr -d '\r' <"$work/forward-$round.out"
        [ "$status" -eq 0 ] || fail "vantrel-set.exe --forward ($round): exit status $status"
    done
    stored=$(psql_admin -d line -c 'SELECT count(*) FROM vantrel_records')
    [ "$stored" -eq "$records" ] || fail "$stored records in the store, $records in the report"
    grep -q ': 0 records sent, 0 waiting' "$work/forward-again.out" ||
        fail "the second --forward sent records again"
    echo "store: $stored records over TCP from Windows, each once; the second run sent none" \
        "($((SECONDS - store_started)) s with the server's start)"
    "${pg_stop[@]}" >/dev/null
    pg_stop=()
fi

stage "Silent uninstall"
win "$programs/uninstall.exe" /S
# The uninstaller runs from a copy of itself and returns at once.
wait_for 120 "the uninstaller to finish" test ! -e "$programs"
wait_for 30 "the Start-menu entry to go" test ! -e "$shortcut"
wait_for 30 "the station's Start-menu entry to go" test ! -e "$station_shortcut"
wine reg query "$key" >/dev/null 2>&1 && fail "the uninstall entry is still there"
echo "uninstalled: no folder, no Start-menu entries, no uninstall entry"
echo "Windows checks under Wine passed"
