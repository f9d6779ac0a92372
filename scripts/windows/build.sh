#!/usr/bin/env bash
# Cross-builds vantrel.exe, vantrel-set.exe and vantrel-station.exe with the
# Windows Qt (built
# once into a cache by qt.sh), bundles them with the DLLs they need, checks
# that nothing else outside Windows itself is imported, and makes the NSIS
# installer and a portable zip in build-win/.
#   VANTREL_WIN_BUILD_DIR   output folder (default: <repo>/build-win)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
out=${VANTREL_WIN_BUILD_DIR:-$here/build-win}
jobs=${VANTREL_JOBS:-$(nproc)}

qt=$(bash "$here/scripts/windows/qt.sh")
libpq=$(bash "$here/scripts/windows/libpq.sh")
version=$(sed -n 's/^project(Vantrel VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
cross=x86_64-w64-mingw32

echo "Cross-building Vantrel $version with the Windows Qt in $qt"
# The Qt's own toolchain file loads ours; naming it here keeps the build
# working when the cache has moved since Qt was built.
cmake -S "$here" -B "$out/cmake" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVANTREL_WERROR=ON \
    -DVANTREL_WIN_LIBPQ="$libpq"
cmake --build "$out/cmake" --parallel "$jobs"

# The bundle: what windeployqt would gather for this program.
stage=$out/stage/Vantrel
rm -rf "$out/stage"
mkdir -p "$stage/platforms" "$stage/styles"
# qt_standard_project_setup() puts the programs in the build folder's top.
cp "$out/cmake/vantrel.exe" "$out/cmake/vantrel-set.exe" "$out/cmake/vantrel-station.exe" "$stage/"
# Qt6Network only for the station window's PIN hash (QPasswordDigestor).
cp "$qt"/bin/Qt6Core.dll "$qt"/bin/Qt6Gui.dll "$qt"/bin/Qt6Widgets.dll "$qt"/bin/Qt6Network.dll \
    "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
# PostgreSQL's client library for --store, with its licence.
cp "$libpq/bin/libpq.dll" "$stage/"
cp "$libpq/COPYRIGHT" "$stage/libpq-COPYRIGHT.txt"
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    path=$("$cross-g++-posix" -print-file-name="$dll")
    [ -f "$path" ] || { echo "$dll not found" >&2; exit 1; }
    cp "$path" "$stage/"
done
"$cross-strip" --strip-unneeded "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll

# Every import must be bundled or part of Windows.
# (dnsapi, iphlpapi, secur32 and winhttp for Qt6Network.dll.)
system_dlls=' advapi32 authz bcrypt comctl32 comdlg32 crypt32 d3d11 d3d12 d3d9 dnsapi dwmapi dwrite
  dxgi gdi32 imm32 iphlpapi kernel32 mpr msvcrt netapi32 ntdll ole32 oleaut32 secur32 setupapi
  shcore shell32 shlwapi user32 userenv uxtheme version winhttp winmm winspool.drv ws2_32 wtsapi32 '
system_dlls=" $(echo $system_dlls) "
bundled=" $(cd "$stage" && find . -iname '*.dll' -printf '%f\n' | tr 'A-Z' 'a-z' | sed 's/\.dll$//' | tr '\n' ' ') "
status=0
while IFS= read -r -d '' file; do
    while read -r dll; do
        name=$(echo "$dll" | tr 'A-Z' 'a-z')
        name=${name%.dll}
        case "$name" in api-ms-win-*) continue ;; esac
        if [[ "$system_dlls" != *" $name "* && "$bundled" != *" $name "* ]]; then
            echo "${file#"$stage"/} imports $dll, which is neither bundled nor part of Windows" >&2
            status=1
        fi
    done < <("$cross-objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p')
done < <(find "$stage" \( -iname '*.exe' -o -iname '*.dll' \) -print0)
[ $status -eq 0 ] || exit 1
echo "Imports checked: every DLL outside Windows is bundled"

# The installer lists its files one by one, so that the uninstaller removes
# exactly those and never other contents of the folder. (One level of
# subfolders, as Qt's plugins have.)
subdirs=$(cd "$stage" && find . -mindepth 1 -maxdepth 1 -type d -printf '%f\n' | sort)
{
    for dir in . $subdirs; do
        if [ "$dir" = . ]; then echo 'SetOutPath "$INSTDIR"'; else echo "SetOutPath \"\$INSTDIR\\$dir\""; fi
        find "$stage/$dir" -mindepth 1 -maxdepth 1 -type f | sort | sed 's/.*/File "&"/'
    done
} >"$out/install-files.nsh"
{
    for dir in . $subdirs; do
        (cd "$stage/$dir" && find . -mindepth 1 -maxdepth 1 -type f -printf '%f\n' | sort) |
            while read -r f; do
                if [ "$dir" = . ]; then echo "Delete \"\$INSTDIR\\$f\""; else echo "Delete \"\$INSTDIR\\$dir\\$f\""; fi
            done
    done
    for dir in $subdirs; do echo "RMDir \"\$INSTDIR\\$dir\""; done
} >"$out/uninstall-files.nsh"

installer=$out/Vantrel-$version-setup.exe
rm -f "$installer"
makensis -V2 -INPUTCHARSET UTF8 \
    -DVERSION="$version" -DOUTFILE="$installer" -DICON="$out/cmake/vantrel.ico" \
    -DINSTALL_FILES="$out/install-files.nsh" -DUNINSTALL_FILES="$out/uninstall-files.nsh" \
    "$here/packaging/windows/vantrel.nsi"

portable=$out/Vantrel-$version-portable.zip
rm -f "$portable"
(cd "$out/stage" && rm -rf "Vantrel-$version" && cp -r Vantrel "Vantrel-$version" &&
    zip -q -r -9 "$portable" "Vantrel-$version" && rm -rf "Vantrel-$version")

echo "Installer: $installer ($(du -h "$installer" | cut -f1))"
echo "Portable:  $portable ($(du -h "$portable" | cut -f1))"
