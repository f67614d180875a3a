#!/usr/bin/env bash
# Builds Qt 6.4.2 (qtbase: Core, Gui, Widgets, Network with Schannel TLS, Test, Concurrent) for
# 64-bit Windows with Debian's MinGW-w64 cross compiler, from Debian 12's own qt6-base source,
# against Debian's Qt 6.4.2 host tools, and packs it as qt6.4.2-mingw-w64.tar.xz in OUTDIR (default: beside this file).
# Debian's source lacks the Wintab headers, so tablet events are off. About 20-30 minutes on two cores. Usage: build-qt-mingw.sh [WORKDIR [OUTDIR]]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=${1:-/tmp/qt-mingw-build}
out=${2:-$here}
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq --no-install-recommends g++-mingw-w64-x86-64-posix mingw-w64-tools \
  qt6-base-dev qt6-base-dev-tools cmake ninja-build perl xz-utils dpkg-dev >/dev/null
# Debian's source packages: add deb-src beside the binary archive if it is not there yet.
if ! apt-cache showsrc qt6-base >/dev/null 2>&1 || [ -z "$(apt-cache showsrc qt6-base 2>/dev/null)" ]; then
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
    > /etc/apt/sources.list.d/debian-src.sources
  apt-get update -qq
fi
mkdir -p "$work" && cd "$work"
apt-get source --download-only qt6-base=6.4.2+dfsg-10 >/dev/null
tar -xJf qt6-base_6.4.2+dfsg.orig.tar.xz
cat > mingw.cmake <<'EOT'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOT
prefix=$work/qt6.4.2-mingw-w64
mkdir -p build && cd build
../qtbase-everywhere-src-6.4.2/configure -prefix "$prefix" -release -opensource -confirm-license \
  -xplatform win32-g++ -qt-host-path /usr -nomake tests -nomake examples \
  -no-opengl -no-dbus -no-icu -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre \
  -no-feature-sql -no-openssl -no-feature-vulkan -no-feature-tabletevent \
  -- -DCMAKE_TOOLCHAIN_FILE="$work/mingw.cmake" -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -G Ninja
cmake --build . --parallel "$(nproc)"
cmake --install .
# Relocatable: qt-cmake chain-loads the MinGW toolchain file kept inside the prefix.
cp "$work/mingw.cmake" "$prefix/mingw-w64-toolchain.cmake"
sed -i "s|set(__qt_initially_configured_toolchain_file \"$work/mingw.cmake\")|set(__qt_initially_configured_toolchain_file \"\${CMAKE_CURRENT_LIST_DIR}/../../../mingw-w64-toolchain.cmake\")|" \
  "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
rm -rf "$prefix/doc"
x86_64-w64-mingw32-strip --strip-unneeded "$prefix"/bin/*.dll "$prefix"/plugins/*/*.dll
tar -C "$work" -cJf "$out/qt6.4.2-mingw-w64.tar.xz" qt6.4.2-mingw-w64
echo "packed $out/qt6.4.2-mingw-w64.tar.xz"
