#!/usr/bin/env bash
# Packs the cross-built program into BUILD/dist: a zip and an installer holding
# vexo-setting.exe and exactly what it loads. The DLLs are found by walking the imports of
# the executable and its plugins (objdump), in Qt's and MinGW's folders; Windows' own DLLs
# are not found there and stay out.
#   packaging/windows/package.sh BUILD QT
set -euo pipefail
build=$(cd "$1" && pwd)
qt=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
version=$(sed -n 's/^project(VexoSetting VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")
dist=$build/dist
stage=$dist/vexo-setting
# MinGW's runtime DLLs: where the compiler keeps them, and the C library's folder.
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
search=("$qt/bin" "$runtime" /usr/x86_64-w64-mingw32/lib)

rm -rf "$dist"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/vexo-setting.exe" "$build/vexo-setting.exe"
# The plugins it loads: the Windows platform, the native style, the system's TLS.
for plugin in platforms/qwindows styles/qwindowsvistastyle tls/qschannelbackend; do
  mkdir -p "$stage/plugins/$(dirname "$plugin")"
  cp "$qt/plugins/$plugin.dll" "$stage/plugins/$plugin.dll"
done
# Qt's own texts (dialog buttons) in German; the program's are compiled in.
mkdir -p "$stage/translations"
cp /usr/share/qt6/translations/qtbase_de.qm "$stage/translations/"
# Qt looks for plugins and translations below the executable's folder.
printf '[Paths]\nPrefix = .\n' >"$stage/qt.conf"

deployed() { [ -f "$stage/$1" ]; }
walk() {
  local dll found
  for dll in $(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'); do
    deployed "$dll" && continue
    found=$(find "${search[@]}" -maxdepth 1 -iname "$dll" -print -quit 2>/dev/null)
    [ -n "$found" ] || continue # a DLL of Windows itself
    cp "$found" "$stage/$dll"
    walk "$stage/$dll"
  done
}
walk "$stage/vexo-setting.exe"
for plugin in "$stage"/plugins/*/*.dll; do walk "$plugin"; done

(cd "$dist" && zip -qr "vexo-setting-$version-windows-x64.zip" vexo-setting)

# The uninstaller's list: every file, then every folder from the deepest up.
list=$dist/uninstall-files.nsh
(cd "$stage" && find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|') >"$list"
(cd "$stage" && find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|') >>"$list"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DFILELIST="$list" \
  -DICON="$here/vexo-setting.ico" -DOUTFILE="$dist/vexo-setting-$version-setup.exe" \
  "$here/installer.nsi"
echo "$dist/vexo-setting-$version-windows-x64.zip"
echo "$dist/vexo-setting-$version-setup.exe"
