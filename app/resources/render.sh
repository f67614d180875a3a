#!/usr/bin/env bash
# Renders the window pictures from svg/ to img/ at the sizes stored in the program.
# Several pictures are stretched by the window's style sheets, so their SVGs are drawn
# in display coordinates (preserveAspectRatio="none") and rendered to the stored size here.
set -euo pipefail

cd "$(dirname "$0")"
mkdir -p img

# name  width  height
pictures=(
  "head    2000 131"
  "logo     177  31"
  "vexo      31  31"
  "close     32  32"
  "closeh    32  32"
  "min       32  32"
  "arrow     24  24"
  "about    800 250"
  "back    2303 1479"
  "back2   2303 1479"
)

for entry in "${pictures[@]}"; do
  read -r name w h <<<"$entry"
  rsvg-convert -w "$w" -h "$h" -f png -o "img/$name.png" "svg/$name.svg"
  case "$name" in
  back | back2)
    # The page pictures lie on the page's own colour: stored opaque, Qt keeps them as they
    # decode, where a picture with alpha is copied once more (13 MB at this size).
    convert "img/$name.png" -background 'rgb(26,25,25)' -alpha remove -alpha off "img/$name.png"
    ;;
  esac
  if command -v convert >/dev/null 2>&1; then
    convert "img/$name.png" -strip -define png:compression-level=9 "img/$name.png"
  fi
  if command -v pngquant >/dev/null 2>&1; then
    pngquant --force --skip-if-larger --quality 85-100 --output "img/$name.png" "img/$name.png" || true
  fi
  if command -v optipng >/dev/null 2>&1; then
    optipng -quiet -o2 "img/$name.png"
  fi
  echo "img/$name.png ${w}x${h}"
done
