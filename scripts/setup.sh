#!/usr/bin/env bash
# Installs what is missing on Debian 12, builds, then runs the program or the tests.
#   setup.sh run    build and start the program
#   setup.sh test   build and run the whole test suite, then the real-driver
#                   tests, build the Debian package, check it and start the
#                   packaged program, then run the same suite built with
#                   AddressSanitizer + UndefinedBehaviorSanitizer, then give
#                   every fuzz target a short run
#   setup.sh usb    build and run only the real-driver tests (tests/usb:
#                   a virtual machine with an emulated USB serial adapter)
#   setup.sh asan   only the sanitizer build and its test run
#   setup.sh fuzz   only the fuzz build and its short run
#   setup.sh package
#                   build and make the Debian package (in the build folder)
#   setup.sh windows
#                   cross-build the Windows programs, their installer and a
#                   portable zip into build-win/ (the Windows Qt is built
#                   once into ~/.cache/vantrel, about 40 minutes on 2 cores)
#   The test run also cross-builds the Windows programs and checks the
#   installer and the installed programs under Wine.
set -euo pipefail

mode=${1:-run}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VANTREL_BUILD_DIR:-$here/build}
asan_build=${VANTREL_ASAN_BUILD_DIR:-$here/build-asan}
fuzz_build=${VANTREL_FUZZ_BUILD_DIR:-$here/build-fuzz}

case "$mode" in
run | test | usb | asan | fuzz | package | windows) ;;
*)
    echo "usage: $0 run|test|usb|asan|fuzz|package|windows" >&2
    exit 2
    ;;
esac

# qt6-l10n-tools' lrelease builds the station window's translations (for the
# Windows build too), qt6-tools-dev names them to CMake; libasound2-dev is for
# its pass and fail sounds; libpq-dev for the record store.
packages=(cmake g++ make qt6-base-dev qt6-serialport-dev qt6-tools-dev qt6-l10n-tools
          libasound2-dev libgl-dev libudev-dev libpq-dev xvfb xauth fonts-liberation
          fonts-wqy-microhei)
# The record store's tests start a PostgreSQL server of their own (initdb,
# pg_ctl); so does the Windows stage, for vantrel-set.exe over TCP.
if [ "$mode" = test ]; then
    packages+=(postgresql-15)
fi
# libFuzzer ships in clang's runtime package, which clang only recommends.
if [ "$mode" = test ] || [ "$mode" = fuzz ]; then
    packages+=(clang-14 libclang-rt-14-dev)
fi
# The real-driver tests run Debian's kernel under QEMU; kmod prepares its
# modules. The guest's kernel, udev and busybox are fetched into a cache by
# tests/usb/cache.sh, not installed.
if [ "$mode" = test ] || [ "$mode" = usb ]; then
    packages+=(qemu-system-x86 kmod)
fi
# cpack finds the programs with file and their library packages with
# dpkg-shlibdeps. In the test run lintian checks the package, the next three
# validate the desktop data, and the last two let the package's smoke run
# find the window and read its icon.
if [ "$mode" = test ] || [ "$mode" = package ]; then
    packages+=(dpkg-dev file)
fi
if [ "$mode" = test ]; then
    packages+=(lintian desktop-file-utils appstream librsvg2-bin xdotool x11-utils)
    # Only so that the start-up bench is compiled (and kept compiling) too.
    packages+=(libxcb1-dev libxcb-xtest0-dev)
fi
# The Windows build: the cross compiler with posix threads (Qt needs them),
# the source of Debian's Qt and PostgreSQL's (libpq) and what builds them,
# NSIS; Wine runs the checks.
if [ "$mode" = test ] || [ "$mode" = windows ]; then
    packages+=(g++-mingw-w64-x86-64-posix qt6-base-dev-tools dpkg-dev xz-utils ninja-build
               nsis zip wine wine64)
fi
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
jobs=$(nproc)

stage() {
    echo
    echo "==== $* ===="
}

normal_tests() {
    stage "Tests, normal build ($build)"
    (cd "$build" && QT_QPA_PLATFORM=offscreen ctest -LE usb --output-on-failure --timeout 300)
}

usb_tests() {
    stage "Real-driver tests: the kernel's FTDI driver and udev in a virtual machine ($build)"
    local started=$SECONDS
    (cd "$build" && ctest -L usb --output-on-failure --timeout 900)
    # What the programs in the machine passed and measured.
    grep -E '^(Real-driver guest|PASS|    |Guest ran)' "$build/Testing/Temporary/LastTest.log"
    echo "Real-driver tests: $((SECONDS - started)) s"
}

package_build() {
    stage "Debian package ($build)"
    rm -f "$build"/vantrel_*.deb
    (cd "$build" && cpack -G DEB)
    deb=$(ls "$build"/vantrel_*.deb)
}

package_check() {
    stage "Package check: file list, Depends, version, lintian ($deb)"
    bash "$here/packaging/check-deb.sh" "$deb"
    stage "Package smoke run: the packaged program on a virtual display"
    bash "$here/packaging/smoke-deb.sh" "$deb"
}

# Reports go to files, so that one from a helper program the tests start
# (whose output a test may not show) is not lost; gcc's UBSan writes to the
# test's own output instead, which is searched too. Any report fails the run.
asan_tests() {
    stage "Sanitizer build: AddressSanitizer + UndefinedBehaviorSanitizer ($asan_build)"
    cmake -S "$here" -B "$asan_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVANTREL_WERROR=$werror -DVANTREL_SANITIZE=ON
    cmake --build "$asan_build" -j"$jobs"

    stage "Tests, sanitizer build ($asan_build)"
    local reports=$asan_build/sanitizer-reports
    rm -rf "$reports"
    mkdir -p "$reports"
    local status=0
    (
        cd "$asan_build"
        export QT_QPA_PLATFORM=offscreen
        export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:strict_string_checks=1:log_path=$reports/asan"
        export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
        export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
        ctest -LE usb --output-on-failure --timeout 300
    ) || status=$?
    if [ -n "$(ls -A "$reports")" ]; then
        for report in "$reports"/*; do
            echo "---- $report"
            cat "$report"
        done
        echo "Sanitizer reports found (above)." >&2
        status=1
    fi
    local output=$asan_build/Testing/Temporary/LastTest.log
    if grep -E -n 'runtime error:|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer' "$output"; then
        echo "Sanitizer reports found in the test output ($output)." >&2
        status=1
    fi
    return $status
}

windows_build() {
    stage "Windows build: cross-compiled programs, installer and portable zip ($here/build-win)"
    bash "$here/scripts/windows/build.sh"
}

windows_checks() {
    stage "Windows checks under Wine: install, window, serial, vantrel-set, station, uninstall"
    bash "$here/scripts/windows/wine-test.sh" "$build" "$here/build-win"
}

fuzz_smoke() {
    stage "Fuzz build: clang, libFuzzer ($fuzz_build)"
    cmake -S "$here" -B "$fuzz_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++-14 -DVANTREL_WERROR=$werror -DVANTREL_FUZZ=ON
    cmake --build "$fuzz_build" -j"$jobs" --target vantrel_fuzz_targets

    stage "Fuzz smoke run ($fuzz_build)"
    (cd "$fuzz_build" && ctest -L fuzz --output-on-failure --timeout 600)
    grep -E 'Testing: |Done [0-9]+ runs' "$fuzz_build/Testing/Temporary/LastTest.log"
}

if [ "$mode" = run ] || [ "$mode" = test ] || [ "$mode" = usb ] || [ "$mode" = package ]; then
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_WERROR=$werror
    cmake --build "$build" -j"$jobs"
fi

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
    normal_tests
    usb_tests
    package_build
    package_check
    windows_build
    windows_checks
    asan_tests
    fuzz_smoke
    ;;
usb)
    usb_tests
    ;;
asan)
    asan_tests
    ;;
fuzz)
    fuzz_smoke
    ;;
windows)
    windows_build
    ;;
package)
    package_build
    echo "Package: $deb"
    echo "Install it with: sudo apt install $deb"
    ;;
esac
