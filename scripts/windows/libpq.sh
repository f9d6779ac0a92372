#!/usr/bin/env bash
# Builds the Windows libpq (PostgreSQL's client library, what --store needs)
# once from Debian's own PostgreSQL source into a cache outside the
# repository and prints its folder (include/, lib/, bin/libpq.dll) on stdout;
# everything else goes to stderr.
# The folder's name carries the PostgreSQL version and a hash of the
# configure flags and the cross compiler's version, so a change of any of
# them builds a new one and an unchanged one is reused.
# Only the client library is built (a few minutes on 2 cores). It has no TLS:
# see README, "Windows: the store".
#   VANTREL_WIN_CACHE   cache root (default: ~/.cache/vantrel)
#   VANTREL_JOBS        parallel jobs (default: nproc)
set -euo pipefail

main() {
    exec 3>&1 1>&2

    here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    # shellcheck source=apt-source.sh
    source "$here/scripts/windows/apt-source.sh"
    cache=${VANTREL_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vantrel}
    jobs=${VANTREL_JOBS:-$(nproc)}
    cross=x86_64-w64-mingw32

    # The same major version as the build machine's client library; the
    # source package is named by it.
    host_version=$(dpkg-query -W -f='${Version}' libpq-dev)
    major=${host_version%%.*}
    pg_version=${host_version%%-*}

    flags=(--host=$cross --without-readline --without-zlib --without-icu --without-openssl
           --without-ldap --without-gssapi --disable-nls)
    compiler=$("$cross-gcc-posix" --version | head -n1)
    key=$(printf '%s\n' "$host_version" "${flags[@]}" "$compiler" | sha256sum | cut -c1-12)
    prefix=$cache/libpq-$pg_version-$key

    if [ -f "$prefix/.complete" ]; then
        echo "Windows libpq $pg_version from the cache: $prefix"
        echo "$prefix" >&3
        exit 0
    fi

    work=$cache/work-libpq-$pg_version-$key
    mkdir -p "$work"
    src=$(ls -d "$work"/postgresql-"$major"-*/ 2>/dev/null | head -n1 || true)
    if [ -z "$src" ] || [ ! -f "$src/configure" ]; then
        echo "Getting the source of postgresql-$major $host_version"
        fetch_source "$work" "postgresql-$major=$host_version"
        src=$(ls -d "$work"/postgresql-"$major"-*/ | head -n1)
    fi
    src=${src%/}

    echo "Building the Windows libpq $pg_version into $prefix ($jobs jobs)"
    start=$(date +%s)
    rm -rf "$work/build"
    mkdir -p "$work/build"
    (
        cd "$work/build"
        CC=$cross-gcc-posix AR=$cross-ar RANLIB=$cross-ranlib "$src/configure" "${flags[@]}" \
            >configure.log
        # The client library and what it is made of; not the server.
        for dir in src/include src/common src/port src/interfaces/libpq; do
            make -C "$dir" -j"$jobs" >>make.log
        done
    )
    rm -rf "$prefix"
    mkdir -p "$prefix/include" "$prefix/lib" "$prefix/bin"
    cp "$src/src/interfaces/libpq/libpq-fe.h" "$src/src/include/postgres_ext.h" \
        "$work/build/src/include/pg_config_ext.h" "$prefix/include/"
    cp "$work/build/src/interfaces/libpq/libpq.dll" "$prefix/bin/"
    # --out-implib names the import library libpq.a
    cp "$work/build/src/interfaces/libpq/libpq.a" "$prefix/lib/libpq.dll.a"
    cp "$src/COPYRIGHT" "$prefix/COPYRIGHT"
    touch "$prefix/.complete"
    echo "Windows libpq built in $(($(date +%s) - start)) s"
    rm -rf "$work"
    echo "$prefix" >&3
}

main "$@"
exit
