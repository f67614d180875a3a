#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when missing; with
# "windows", those of the Windows cross build and its tests under Wine.
set -euo pipefail

if [ "${1:-}" = windows ]; then
  packages=(
    g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 nsis zip xvfb xauth curl patch openssl
    cmake ninja-build qt6-base-dev qt6-base-dev-tools qt6-l10n-tools qt6-translations-l10n
  )
else
  packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n libgl-dev
    libhidapi-dev libudev-dev udev umockdev libumockdev-dev
    xvfb xdotool openssl librsvg2-bin imagemagick
    lintian dpkg-dev file desktop-file-utils appstream
    clang libclang-rt-14-dev
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
