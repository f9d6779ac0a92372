#!/usr/bin/env bash
# Builds the Windows Qt (qtbase only, what the window needs) once into a cache
# outside the repository and prints its install folder on stdout; everything
# else goes to stderr.
# The cache folder's name carries the Qt version and a hash of the configure
# flags, the toolchain file and the cross compiler's version, so a change of
# any of them builds a new one and an unchanged one is reused.
#   VANTREL_WIN_CACHE   cache root (default: ~/.cache/vantrel)
#   VANTREL_JOBS        parallel jobs (default: nproc)
set -euo pipefail

# All in a function, so that the script is read whole before it runs: an
# edit during the long build cannot change what runs.
main() {
    exec 3>&1 1>&2

    here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    # shellcheck source=apt-source.sh
    source "$here/scripts/windows/apt-source.sh"
    cache=${VANTREL_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vantrel}
    jobs=${VANTREL_JOBS:-$(nproc)}
    toolchain=$here/cmake/mingw-w64-x86_64.cmake

    # The target Qt must be the very version of the build machine's Qt, whose
    # moc, rcc and uic it uses.
    host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
    qt_version=${host_version%%+*}
    qt_version=${qt_version%%-*}

    flags=(
        -G Ninja
        -DCMAKE_BUILD_TYPE=Release
        -DBUILD_SHARED_LIBS=ON
        -DQT_HOST_PATH=/usr
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
        -DQT_QMAKE_TARGET_MKSPEC=win32-g++
        -DQT_BUILD_EXAMPLES=OFF
        -DQT_BUILD_TESTS=OFF
        -DFEATURE_pkg_config=OFF
        -DINPUT_opengl=no
        -DFEATURE_opengl=OFF
        -DFEATURE_vulkan=OFF
        -DFEATURE_dbus=OFF
        -DFEATURE_icu=OFF
        -DFEATURE_sql=OFF
        # Network only for QPasswordDigestor: the station window keeps its
        # supervisor PIN as a PBKDF2 hash. No TLS backend is built.
        -DFEATURE_network=ON
        -DFEATURE_openssl=OFF
        -DFEATURE_printsupport=OFF
        -DFEATURE_concurrent=OFF
        -DFEATURE_xml=OFF
        # Qt Test stays: the checks under Wine are Qt Test programs.
        -DFEATURE_testlib=ON
        -DFEATURE_system_zlib=OFF
        -DFEATURE_system_png=OFF
        -DFEATURE_system_freetype=OFF
        -DFEATURE_system_harfbuzz=OFF
        -DFEATURE_system_pcre2=OFF
        -DFEATURE_jpeg=OFF
        -DFEATURE_gif=OFF
        # 6.4.2 fails to link the windows platform plugin without Direct2D
        # unless DirectWrite 3 is off too; the Debian source has no wintab
        # headers, which tablet support needs.
        -DFEATURE_direct2d=OFF
        -DFEATURE_directwrite3=OFF
        -DFEATURE_tabletevent=OFF
    )

    compiler=$(x86_64-w64-mingw32-g++-posix --version | head -n1)
    key=$( { printf '%s\n' "$host_version" "${flags[@]}" "$compiler"; cat "$toolchain"; } | sha256sum | cut -c1-12)
    prefix=$cache/qt-$qt_version-$key

    if [ -f "$prefix/.complete" ]; then
        echo "Windows Qt $qt_version from the cache: $prefix"
        echo "$prefix" >&3
        exit 0
    fi

    work=$cache/work-$qt_version-$key
    mkdir -p "$work"

    # The source comes through a private list of source archives, so that the
    # system's apt configuration stays as it is.
    src=$(ls -d "$work"/qt6-base-*/ 2>/dev/null | head -n1 || true)
    if [ -z "$src" ] || [ ! -f "$src/CMakeLists.txt" ]; then
        echo "Getting the source of qt6-base $host_version"
        fetch_source "$work" "qt6-base=$host_version"
        src=$(ls -d "$work"/qt6-base-*/ | head -n1)
    fi
    src=${src%/}

    # The installed Qt remembers the toolchain file it was built with: keep a copy
    # beside it, so that it does not point into a work tree that may go away.
    mkdir -p "$prefix"
    cp "$toolchain" "$prefix/mingw-w64-x86_64.cmake"

    echo "Building the Windows Qt $qt_version into $prefix ($jobs jobs; about 40 minutes on 2 cores)"
    start=$(date +%s)
    # An earlier run that was stopped goes on where it was.
    cmake -S "$src" -B "$work/build" "${flags[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64-x86_64.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix"
    cmake --build "$work/build" --parallel "$jobs"
    cmake --install "$work/build"
    touch "$prefix/.complete"
    echo "Windows Qt built in $(( ($(date +%s) - start) / 60 )) minutes"
    rm -rf "$work"
    echo "$prefix" >&3
}

main "$@"
exit
