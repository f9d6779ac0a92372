#!/usr/bin/env bash
# Checks a built Debian package against what the project expects of it:
# its file list, the packages it depends on, that its changelog and AppStream
# metadata name its version, and lintian (when installed).
#   check-deb.sh PACKAGE.deb
set -euo pipefail

[ $# -eq 1 ] || {
    echo "usage: $0 PACKAGE.deb" >&2
    exit 2
}
deb=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
status=0

# Both sides sorted, so that only what is listed counts, not its order.
expected() {
    grep -v -e '^#' -e '^$' "$1" | LC_ALL=C sort
}

# Prints a unified diff and fails when the lists differ.
compare() {
    local what=$1 want=$2 got=$3
    if diff -u --label "expected ($want)" --label "in the package" \
        <(expected "$here/$want") <(printf '%s\n' "$got" | LC_ALL=C sort); then
        echo "ok: $what"
    else
        echo "FAILED: $what differs (- expected, + in the package);" \
            "if the change is intended, update $want" >&2
        status=1
    fi
}

contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
compare "file list" packaging/deb-contents.txt "$contents"

# "a (>= 1), b | c" -> one package name a line.
depends=$(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed -E 's/^ +//; s/ *\(.*//; /^$/d' | LC_ALL=C sort -u)
compare "Depends" packaging/deb-depends.txt "$depends"

version=$(dpkg-deb -f "$deb" Version)
upstream=${version%-*}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
changelog=$(zcat "$scratch/usr/share/doc/vantrel/changelog.Debian.gz" | head -n 1)
if [[ "$changelog" == "vantrel ($version) "* ]]; then
    echo "ok: changelog names $version"
else
    echo "FAILED: the changelog's latest entry is \"$changelog\", the package is $version" \
        "(data/debian/changelog)" >&2
    status=1
fi
if grep -q "<release version=\"$upstream\"" "$scratch"/usr/share/metainfo/*.metainfo.xml; then
    echo "ok: AppStream releases name $upstream"
else
    echo "FAILED: no <release version=\"$upstream\"> in the AppStream metadata" \
        "(data/*.metainfo.xml)" >&2
    status=1
fi

if command -v lintian >/dev/null; then
    # Info tags are listed but do not fail; README.md says why each is left.
    if lintian --display-info --fail-on error,warning "$deb"; then
        echo "ok: lintian"
    else
        echo "FAILED: lintian reports errors or warnings (above)" >&2
        status=1
    fi
else
    echo "lintian not installed: skipped"
fi

exit $status
