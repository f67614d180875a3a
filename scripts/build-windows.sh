#!/usr/bin/env bash
# Cross-builds the Windows program on Debian and packs it: a zip with everything it loads,
# and an installer. Qt for Windows comes from ../shared/toolchains (or is built from
# Debian's source where that is missing, about 25 minutes); hidapi's Windows backend from
# Debian's hidapi source, with the patch in packaging/windows applied.
#   scripts/build-windows.sh          build, zip and installer (in build/windows/dist)
#   scripts/build-windows.sh --deps   only the Debian packages, Qt, hidapi and the Wine prefix
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
deps=$root/build/windows-deps
qt=$deps/qt6.4.2-mingw-w64
hidapi=$deps/hidapi-hidapi-0.13.1
mkdir -p "$deps"

scripts/install-deps.sh windows

# Each step below ends by putting its result in place (or a stamp): a run stopped halfway is
# done again whole by the next one.

# Qt 6.4.2 for Windows, unpacked once; the shared archive is the one its README names.
if [ ! -f "$qt/.unpacked" ]; then
  archive=$root/../shared/toolchains/qt6.4.2-mingw-w64.tar.xz
  if [ -f "$archive" ]; then
    echo "4ee4ebc112b0ec7e8b2012f5b27b322774eb1e898fa78a3134a2686b8ea20896  $archive" |
      sha256sum -c --quiet
  else
    echo "== Building Qt for Windows (no $archive)"
    packaging/windows/build-qt-mingw.sh "$deps/qt-build" "$deps"
    archive=$deps/qt6.4.2-mingw-w64.tar.xz
  fi
  rm -rf "$qt" "$deps/qt-unpack"
  mkdir -p "$deps/qt-unpack"
  tar -C "$deps/qt-unpack" -xJf "$archive"
  mv "$deps/qt-unpack/qt6.4.2-mingw-w64" "$qt"
  rmdir "$deps/qt-unpack"
  touch "$qt/.unpacked"
fi
# Qt's own German texts (dialog buttons), where a program run from the build finds them.
mkdir -p "$qt/translations"
cp /usr/share/qt6/translations/qtbase_de.qm "$qt/translations/"

# hidapi 0.13.1 as Debian ships it (its original tarball), checked, then patched.
if [ ! -f "$hidapi/.patched" ]; then
  tarball=$deps/hidapi_0.13.1.orig.tar.gz
  if [ ! -f "$tarball" ]; then
    curl -sSfL -o "$tarball.part" \
      http://deb.debian.org/debian/pool/main/h/hidapi/hidapi_0.13.1.orig.tar.gz
    echo "476a2c9a4dc7d1fc97dd223b84338dbea3809a84caea2dcd887d9778725490e3  $tarball.part" |
      sha256sum -c --quiet
    mv "$tarball.part" "$tarball"
  fi
  rm -rf "$hidapi" "$deps/hidapi-unpack"
  mkdir -p "$deps/hidapi-unpack"
  tar -C "$deps/hidapi-unpack" -xzf "$tarball"
  patch -d "$deps/hidapi-unpack/hidapi-hidapi-0.13.1" -p1 --quiet \
    <packaging/windows/hidapi-read-no-wait.patch
  mv "$deps/hidapi-unpack/hidapi-hidapi-0.13.1" "$hidapi"
  rmdir "$deps/hidapi-unpack"
  touch "$hidapi/.patched"
fi

# A Wine prefix of our own, made once (the first start of Wine takes half a minute).
if [ ! -f "$deps/wineprefix/.made" ]; then
  rm -rf "$deps/wineprefix"
  WINEPREFIX=$deps/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= wineboot -i
  WINEPREFIX=$deps/wineprefix wineserver -w
  touch "$deps/wineprefix/.made"
fi
[ "${1:-}" = --deps ] && exit 0

cmake --preset windows >/dev/null
cmake --build --preset windows
packaging/windows/package.sh "$root/build/windows" "$qt"
