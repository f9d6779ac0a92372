#!/bin/bash
# shellcheck disable=SC2154 # the paths come from the file sourced below
# The guest after switch_root, as its first process: the host's tree under a
# tmpfs overlay. Sets up what a desktop's system would (proc, sys, devpts,
# /run, udev with the guest kernel's modules), runs each test program once,
# keeps their output in the run folder and powers the guest off.
set -u
# shellcheck source=/dev/null
. "$1" # repo, build, run, cache, tests

say() { echo "vantrel guest: $*" >/dev/console; }

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mkdir -p /dev/pts /dev/shm
mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
# Lock files (/var/lock is a link to /run/lock) and runtime folders start
# empty, as after a boot; the host's own must not show through.
mount -t tmpfs -o mode=0755 tmpfs /run
mkdir -p /run/lock /run/user/0
chmod 1777 /run/lock
chmod 0700 /run/user/0
hostname vantrel-usb-guest

mkdir -p "$run"
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 run "$run" || {
    say "cannot mount the run folder $run"
    echo o >/proc/sysrq-trigger
}

mkdir -p /usr/lib/modules
mount --bind "$cache/kernel/lib/modules" /usr/lib/modules
cp -a "$cache/udev/." /
cp "$repo/tests/usb/guest/59-vantrel-slow.rules" /etc/udev/rules.d/
/usr/lib/systemd/systemd-udevd >"$run/udevd.log" 2>&1 &
udevadm trigger --type=subsystems --action=add
udevadm trigger --type=devices --action=add
udevadm settle --timeout=60
say "udev settled after $(cut -d' ' -f1 /proc/uptime) s"

export HOME=/root XDG_RUNTIME_DIR=/run/user/0 QT_QPA_PLATFORM=offscreen
export VANTREL_USB_RUN="$run" VANTREL_USB_BUILD="$build"
cd "$run" || exit 1
for test in $tests; do
    say "running $test"
    start=$(cut -d' ' -f1 /proc/uptime)
    # A hung program must not hold the others back; the host gives up on
    # the whole guest later still.
    timeout -k 5 150 "$build/tests/usb/$test" >"$run/$test.log" 2>&1 </dev/null
    status=$?
    echo "$status $start $(cut -d' ' -f1 /proc/uptime)" >"$run/$test.status"
    say "$test ended with status $status"
done

dmesg >"$run/dmesg.txt"
sync
echo o >/proc/sysrq-trigger
# Nothing may be loaded from the host's files while they go away, and the
# first process must not end first: a built-in wait on the silent console.
read -r -t 30 _ </dev/console
