#!/usr/bin/env bash
# The real-driver tests: boots Debian's kernel under QEMU with an emulated
# FTDI serial chip on a USB bus, runs the test programs of this folder in the
# guest against the kernel's ftdi_sio driver and udev, and plugs and pulls
# units when a program asks. Each unit's far end is a vantrel-dongle on a
# pseudo-terminal of the host.
#   tests/usb/run.sh BUILD_DIR [TEST...]    (default: every test program)
# Needs qemu-system-x86 and kmod; the guest's kernel, udev and busybox come
# from cache.sh. Everything a run leaves is in BUILD_DIR/tests/usb/run, and
# stays there until the next run.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [TEST...]" >&2; exit 2; }
build=$(cd "$1" && pwd)
shift
tests=("$@")
[ ${#tests[@]} -gt 0 ] || tests=(usb_window_test usb_station_test usb_station_window_test)
# The whole guest, boot included; a run takes about a minute and a half.
limit=${VANTREL_USB_LIMIT:-300}

for program in "${tests[@]}"; do
    [ -x "$build/tests/usb/$program" ] || { echo "Not built: $build/tests/usb/$program" >&2; exit 2; }
done
[ -x "$build/tools/vantrel-dongle" ] || { echo "Not built: $build/tools/vantrel-dongle" >&2; exit 2; }
command -v qemu-system-x86_64 >/dev/null || {
    echo "qemu-system-x86_64 is missing (Debian: qemu-system-x86)" >&2
    exit 2
}

clock_start=$SECONDS
cache=$(bash "$here/cache.sh")
release=$(cat "$cache/release")
cache_seconds=$((SECONDS - clock_start))

run=$build/tests/usb/run
rm -rf "$run"
mkdir -p "$run/xdg"
chmod 0700 "$run/xdg"

pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
}
trap cleanup EXIT

# The dongles the guest may plug units into: "answer" ones acknowledge every
# frame, "silent" ones never do, "slow" ones a second late. QEMU logs what
# reaches each one's line in dongle-NAME.bytes; the dongle itself says what
# it decoded in dongle-NAME.log.
dongles=(answer1 answer2 answer3 silent1 slow1)
declare -A pty
for name in "${dongles[@]}"; do
    options=()
    case $name in
    silent*) options=(--silent) ;;
    slow*) options=(--delay 1000) ;;
    esac
    XDG_RUNTIME_DIR=$run/xdg "$build/tools/vantrel-dongle" "${options[@]}" \
        >"$run/dongle-$name.log" 2>&1 &
    pids+=($!)
done
for name in "${dongles[@]}"; do
    for _ in $(seq 50); do
        pty[$name]=$(sed -n 's/^Device: //p' "$run/dongle-$name.log")
        [ -n "${pty[$name]}" ] && break
        sleep 0.1
    done
    [ -n "${pty[$name]}" ] || { echo "Dongle $name did not start:" >&2; cat "$run/dongle-$name.log" >&2; exit 1; }
done

# The initramfs: static busybox, the modules that reach the host's files,
# init, and where things are.
initramfs=$run/initramfs
mkdir -p "$initramfs/bin"
cp "$cache/busybox" "$initramfs/bin/busybox"
cp "$here/guest/init" "$initramfs/init"
cp "$cache/initramfs-modules" "$initramfs/"
while read -r module; do
    mkdir -p "$initramfs/$(dirname "$module")"
    cp "$cache/kernel/$module" "$initramfs/$module"
done <"$cache/initramfs-modules"
{
    printf 'repo=%q\nbuild=%q\nrun=%q\ncache=%q\n' "$repo" "$build" "$run" "$cache"
    printf 'tests=%q\n' "${tests[*]}"
} >"$initramfs/vantrel.conf"
(cd "$initramfs" && find . | "$cache/busybox" cpio -o -H newc 2>/dev/null) >"$run/initrd.cpio"
rm -rf "$initramfs"

# QEMU's monitor (QMP) and the guest's requests travel through named pipes:
# NAME.in is read by QEMU, NAME.out written by it.
mkfifo "$run/qmp.in" "$run/qmp.out" "$run/host.in" "$run/host.out"
exec {qmp_in}<>"$run/qmp.in" {qmp_out}<>"$run/qmp.out" \
    {host_in}<>"$run/host.in" {host_out}<>"$run/host.out"

qemu_path() { printf '%s' "${1//,/,,}"; } # a comma in an option's value is doubled
# shellcheck disable=SC2054 # the commas belong to QEMU's options
qemu_args=(
    -machine q35,accel=tcg -cpu max -smp 1 -m 1024
    -nodefaults -display none -no-reboot
    -kernel "$cache/vmlinuz" -initrd "$run/initrd.cpio"
    -append "console=ttyS0 quiet panic=-1 no_timer_check"
    -chardev "file,id=console,path=$(qemu_path "$run/console.txt")" -serial chardev:console
    -chardev "pipe,id=qmp,path=$(qemu_path "$run/qmp")" -mon chardev=qmp,mode=control
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap
    -virtfs "local,path=$(qemu_path "$run"),mount_tag=run,security_model=none,multidevs=remap"
    -device virtio-serial-pci
    -chardev "pipe,id=host,path=$(qemu_path "$run/host")"
    -device virtserialport,chardev=host,name=vantrel.host
    # Fifteen USB 2 root ports, so that a unit can be plugged into port 10,
    # whose by-path name starts as port 1's does.
    -device qemu-xhci,id=xhci,p2=15
)
for name in "${dongles[@]}"; do
    qemu_args+=(-chardev "serial,id=$name,path=${pty[$name]},logfile=$(qemu_path "$run/dongle-$name.bytes")")
done

# One QMP command; its answer line in qmp_reply, events meanwhile in
# qmp-events.txt.
qmp() {
    printf '%s\n' "$1" >&"$qmp_in"
    qmp_reply='{"error": {"desc": "QEMU did not answer"}}'
    local line
    while IFS= read -r -t 30 line <&"$qmp_out"; do
        case $line in
        *'"event"'*) printf '%s\n' "$line" >>"$run/qmp-events.txt" ;;
        *'"return"'* | *'"error"'*)
            qmp_reply=$line
            return 0
            ;;
        esac
    done
}

events_seen() { touch "$run/qmp-events.txt" && wc -l <"$run/qmp-events.txt"; }

# Waits until QEMU has taken the device off its bus: an event after the
# first SEEN ones.
await_deleted() {
    local id=$1 seen=$2 line
    for _ in $(seq 100); do
        tail -n +$((seen + 1)) "$run/qmp-events.txt" 2>/dev/null |
            grep -q "\"DEVICE_DELETED\".*\"device\": \"$id\"" && return 0
        if IFS= read -r -t 0.1 line <&"$qmp_out"; then
            printf '%s\n' "$line" >>"$run/qmp-events.txt"
        fi
    done
    return 1
}

# Requests from the guest, one line each, answered "ok" or "error: why":
#   plug SERIAL DONGLE [PORT]  a unit with this USB serial number on the
#                        dongle's line, in that root port or the first free one
#   pull SERIAL          the unit taken off the bus
serve_guest() {
    local line verb serial dongle port at reply seen
    IFS= read -r -t 60 line <&"$qmp_out" || true # QEMU's greeting
    qmp '{"execute": "qmp_capabilities"}'
    while IFS= read -r line <&"$host_out"; do
        read -r verb serial dongle port <<<"$line"
        case $verb in
        plug)
            at=
            if [ -n "$port" ]; then at=", \"port\": \"$port\""; fi
            qmp "{\"execute\": \"device_add\", \"arguments\": {\"driver\": \"usb-serial\", \"bus\": \"xhci.0\", \"id\": \"unit-$serial\", \"serial\": \"$serial\", \"chardev\": \"$dongle\"$at}}"
            ;;
        pull)
            seen=$(events_seen)
            qmp "{\"execute\": \"device_del\", \"arguments\": {\"id\": \"unit-$serial\"}}"
            if [[ $qmp_reply == *'"return"'* ]] && ! await_deleted "unit-$serial" "$seen"; then
                qmp_reply='{"error": {"desc": "the unit was not taken off the bus"}}'
            fi
            ;;
        *) qmp_reply="{\"error\": {\"desc\": \"unknown request: $line\"}}" ;;
        esac
        if [[ $qmp_reply == *'"return"'* ]]; then
            reply=ok
        else
            reply="error: $(sed -n 's/.*"desc": "\([^"]*\)".*/\1/p' <<<"$qmp_reply")"
        fi
        printf '%s %s -> %s\n' "$(date +%T.%3N)" "$line" "$reply" >>"$run/requests.txt"
        printf '%s\n' "$reply" >&"$host_in"
    done
}

# One boot of the guest, its QEMU's exit status in status.
boot_guest() {
    local server
    serve_guest &
    server=$!
    pids+=("$server")
    guest_start=$SECONDS
    status=0
    timeout -k 5 "$limit" qemu-system-x86_64 "${qemu_args[@]}" >"$run/qemu.txt" 2>&1 || status=$?
    guest_seconds=$((SECONDS - guest_start))
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    # What QEMU said last is no answer to the next one.
    while IFS= read -r -t 0.2 _ <&"$qmp_out"; do :; done
}

# A kernel that panicked before the guest ran anything: under TCG on a busy
# host its early checks of the timer can fail (no_timer_check above skips
# the known one). That is the machine's load, not the program's fault.
panicked_at_boot() {
    grep -q 'Kernel panic' "$run/console.txt" 2>/dev/null &&
        ! grep -q 'vantrel guest: running' "$run/console.txt"
}

echo "Real-driver guest: kernel $release, cache $cache ($cache_seconds s)"
boot_guest
if [ $status -ne 124 ] && panicked_at_boot; then
    mv "$run/console.txt" "$run/console-panic.txt"
    echo "The guest's kernel panicked at boot ($(grep -m1 -o 'Kernel panic.*' "$run/console-panic.txt" | tr -d '\r')); booting it once more (its console: $run/console-panic.txt)."
    boot_guest
fi
if [ $status -eq 124 ]; then
    echo "The guest did not end within $limit s." >&2
fi

failed=0
for program in "${tests[@]}"; do
    if [ ! -f "$run/$program.status" ]; then
        echo "FAIL $program: did not run to its end in the guest" >&2
        failed=1
        continue
    fi
    read -r code begun ended <"$run/$program.status"
    seconds=$(awk -v a="$begun" -v b="$ended" 'BEGIN { printf "%.0f", b - a }')
    if [ "$code" = 0 ]; then
        echo "PASS $program (${seconds} s) $(grep -m1 '^Totals:' "$run/$program.log" || true)"
        # What the programs measured.
        sed -n 's/^QINFO *: /    /p' "$run/$program.log"
    else
        echo "FAIL $program (status $code, ${seconds} s):" >&2
        grep -E -A3 '^FAIL!|^QFATAL|^QWARN' "$run/$program.log" >&2 || tail -n 20 "$run/$program.log" >&2
        failed=1
    fi
done
echo "Guest ran ${guest_seconds} s (boot to udev settled: $(sed -n 's/.*udev settled after \([0-9.]*\) s.*/\1/p' "$run/console.txt") s)."
if [ $failed -ne 0 ] || [ $status -ne 0 ]; then
    echo "Kept for reading: $run (console.txt, dmesg.txt, dongle-*.log, dongle-*.bytes, requests.txt, *.log)" >&2
    exit 1
fi
