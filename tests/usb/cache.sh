#!/usr/bin/env bash
# Prepares the guest of the real-driver tests once, and prints its folder:
# Debian's kernel, udev and static busybox, fetched with the machine's own
# apt sources and unpacked (never installed) into a folder named by the
# kernel's version.
#   VANTREL_USB_CACHE=DIR   cache root (default: ~/.cache/vantrel)
set -euo pipefail

# The modules the initramfs loads to reach the host's files; the rest load
# from the full tree once the guest runs udev.
initramfs_modules=(virtio_pci 9pnet_virtio 9p overlay)

root=${VANTREL_USB_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vantrel}
# The kernel package the metapackage points at now: "linux-image-6.1.0-57-amd64".
package=$(apt-cache depends linux-image-amd64 2>/dev/null |
    sed -n -E 's/^[[:space:]]*Depends:[[:space:]]*(linux-image-[0-9][^[:space:]]*)$/\1/p' |
    head -n 1 || true)
if [ -z "$package" ]; then
    # No package lists (apt-get update never ran): a cache made earlier
    # still serves.
    for ready in "$root"/usb-guest-*/ready; do
        [ -f "$ready" ] && dir=$(dirname "$ready")
    done
    if [ -n "${dir:-}" ]; then
        echo "$dir"
        exit 0
    fi
    echo "apt knows no linux-image-amd64: run apt-get update first." >&2
    exit 1
fi
release=${package#linux-image-}
dir=$root/usb-guest-$release
if [ -f "$dir/ready" ]; then
    echo "$dir"
    exit 0
fi

echo "Preparing the real-driver guest ($package, udev, busybox-static) in $dir" >&2
mkdir -p "$root"
work=$(mktemp -d "$root/usb-guest-$release.XXXXXX")
trap 'rm -rf "$work"' EXIT
# As root, apt downloads as its own user, who may not reach a home folder.
as_root=()
[ "$(id -u)" -eq 0 ] && as_root=(-o APT::Sandbox::User=root)
(cd "$work" && apt-get "${as_root[@]}" download -q "$package" udev busybox-static >&2)
for deb in "$work"/*.deb; do
    name=$(dpkg-deb -f "$deb" Package)
    dpkg-deb -x "$deb" "$work/$name"
    # shellcheck disable=SC2016 # dpkg's fields, not the shell's
    dpkg-deb --showformat='${Package} ${Version}\n' -W "$deb" >>"$work/versions"
    rm "$deb"
done

kernel=$work/$package
mv "$kernel/boot/vmlinuz-$release" "$work/vmlinuz"
# Only the modules are kept; the guest binds them over /usr/lib/modules.
mkdir -p "$work/kernel/lib"
mv "$kernel/lib/modules" "$work/kernel/lib/"
rm -rf "$kernel"
/usr/sbin/depmod -b "$work/kernel" "$release"
# What the initramfs loads, in order, each once, relative to the tree.
/usr/sbin/modprobe -d "$work/kernel" -S "$release" -a --show-depends "${initramfs_modules[@]}" |
    awk -v tree="$work/kernel/" \
        '$1 == "insmod" && !seen[$2]++ { print substr($2, length(tree) + 1) }' \
        >"$work/initramfs-modules"

# udev laid out for a merged /usr, so that the guest can copy it over the
# host's tree, where /bin and /lib are links into /usr.
udev=$work/udev
mkdir -p "$work/udev-tree/usr"
for part in bin sbin lib; do
    if [ -d "$udev/$part" ]; then
        mkdir -p "$work/udev-tree/usr/$part"
        cp -a "$udev/$part/." "$work/udev-tree/usr/$part/"
    fi
done
cp -a "$udev/usr/." "$work/udev-tree/usr/"
cp -a "$udev/etc" "$work/udev-tree/"
rm -rf "$udev"
mv "$work/udev-tree" "$udev"

mv "$work/busybox-static/bin/busybox" "$work/busybox"
rm -rf "$work/busybox-static"

echo "$release" >"$work/release"
touch "$work/ready"
rm -rf "$dir"
mv "$work" "$dir"
trap - EXIT
echo "$dir"
