#!/usr/bin/env bash
# Draws the application icon MAINICON (a mast sending waves, on a slate tile) at the sizes the
# window and the task bar use. Run it after changing the artwork; the PNGs and the .ico are
# committed.
set -euo pipefail
cd "$(dirname "$0")/icons"
convert -size 96x96 xc:none \
  -fill '#3d5a73' -stroke '#27394a' -strokewidth 3 -draw 'roundrectangle 3,3 92,92 18,18' \
  -fill none -stroke '#8fd8e8' -strokewidth 5 \
  -draw 'arc 22,10 74,62 200,340' -draw 'arc 32,20 64,52 205,335' \
  -stroke '#ffffff' -strokewidth 6 -draw 'line 48,36 48,82' \
  -draw 'line 48,44 30,82' -draw 'line 48,44 66,82' -draw 'line 36,66 60,66' \
  -fill '#ffcf4a' -stroke '#ffffff' -strokewidth 3 -draw 'circle 48,36 48,29' \
  big.png
for size in 16 24 32 48; do
  convert big.png -resize ${size}x${size} -strip MAINICON-${size}.png
done
rm big.png
# The same artwork for the Windows shell's resource script, every size in one file.
convert MAINICON-16.png MAINICON-24.png MAINICON-32.png MAINICON-48.png \
  ../../../win32/resources/MAINICON.ico
