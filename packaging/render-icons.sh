#!/usr/bin/env bash
# Renders the program icon from the brand mark's SVG at the sizes desktops ask for.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" -f png -o "icons/vexo-setting-$size.png" ../app/resources/svg/vexo.svg
  convert "icons/vexo-setting-$size.png" -strip -define png:compression-level=9 "icons/vexo-setting-$size.png"
done
# One .ico with every size for the Windows executable and its installer.
convert icons/vexo-setting-{16,24,32,48,64,128,256}.png windows/vexo-setting.ico
