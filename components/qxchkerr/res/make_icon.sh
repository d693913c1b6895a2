#!/usr/bin/env bash
# Draws the checker's icon (a white magnifier with a check mark on an amber tile) and writes
# QXChkErr.ico with 16, 32 and 48 pixel images and a 256 pixel PNG. Needs ImageMagick; run again to regenerate.
set -euo pipefail
out=${1:-$(dirname "$0")/QXChkErr.ico}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 256x256 xc:none \
  -fill '#E8A317' -draw 'roundrectangle 10,10 246,246 48,48' \
  -fill none -stroke white -strokewidth 22 -draw 'circle 108,108 108,178' \
  -stroke white -strokewidth 30 -draw 'line 160,160 214,214' \
  -stroke white -strokewidth 16 -draw 'polyline 76,110 100,136 144,84' \
  "$tmp/base.png"
convert "$tmp/base.png" -depth 8 -define icon:auto-resize=256,48,32,16 "$out"
