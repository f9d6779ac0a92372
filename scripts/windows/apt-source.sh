# Sourced by the Windows build scripts that need a Debian source package.
# source_entries OUT: the machine's own apt sources turned into
# source-package entries: the same archives (a mirror or proxy the machine is
# set up for included) and the same signing keys, written into a private
# folder so that the system's configuration stays as it is.
source_entries() {
    local out=$1 etc parts f n=0
    etc=$(apt-config shell etc Dir::Etc/d | sed -n "s/^etc='\(.*\)'$/\1/p")
    etc=${etc:-/etc/apt/}
    parts=$(apt-config shell p Dir::Etc::sourceparts/d | sed -n "s/^p='\(.*\)'$/\1/p")
    parts=${parts:-${etc}sources.list.d}
    mkdir -p "$out/sources.list.d"
    : >"$out/sources.list"
    for f in "${etc}sources.list" "$parts"/*.list; do
        [ -f "$f" ] || continue
        # One-line form: "deb [options] uri suite components".
        sed -n -E 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' "$f" >>"$out/sources.list"
    done
    for f in "$parts"/*.sources; do
        [ -f "$f" ] || continue
        n=$((n + 1))
        # deb822 form: the stanza's Types line names deb only.
        sed -E 's/^(Types:.*[[:space:]])deb([[:space:]]|$)/\1deb-src\2/; s/^Types:[[:space:]]*deb([[:space:]]|$)/Types: deb-src\1/' \
            "$f" >"$out/sources.list.d/$n-$(basename "$f")"
    done
    if ! grep -q -r -E '^(deb-src|Types:.*deb-src)' "$out/sources.list" "$out/sources.list.d"; then
        echo "No apt source is configured on this machine (looked in ${etc}sources.list and $parts)." >&2
        exit 1
    fi
}

# fetch_source WORK PACKAGE=VERSION: unpacks the source package into WORK
# through the private list above.
fetch_source() {
    local work=$1 package=$2 apt_dir=$1/apt
    mkdir -p "$apt_dir/lists/partial"
    source_entries "$apt_dir"
    local apt_opts=(-o "Dir::Etc::sourcelist=$apt_dir/sources.list"
                    -o "Dir::Etc::sourceparts=$apt_dir/sources.list.d"
                    -o "Dir::State::Lists=$apt_dir/lists" -o APT::Sandbox::User=root)
    apt-get "${apt_opts[@]}" update -qq
    (cd "$work" && apt-get "${apt_opts[@]}" source -qq "$package")
}
