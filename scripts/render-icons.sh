#!/usr/bin/env bash
# Renders the application icon's PNGs (committed beside the drawings; run this
# after changing a drawing):
#   data/icons/hicolor/scalable/apps/com.fernhollow.zephlin.svg  32 px and up
#   data/icons/com.fernhollow.zephlin-small.svg                   16 to 24 px
# The small drawing leaves out the breeze and sits on a 16-pixel grid, so the
# title bar's icon stays sharp. The PNGs go to
# data/icons/hicolor/<size>x<size>/apps/, where the install takes them from.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ZPH_ROOT/scripts/deps.sh" librsvg2-bin

ICONS="$ZPH_ROOT/data/icons"
ID=com.fernhollow.zephlin
for size in 16 22 24 32 48 64 128 256 512; do
  drawing="$ICONS/hicolor/scalable/apps/$ID.svg"
  if [ "$size" -le 24 ]; then
    drawing="$ICONS/$ID-small.svg"
  fi
  mkdir -p "$ICONS/hicolor/${size}x${size}/apps"
  rsvg-convert --width "$size" --height "$size" "$drawing" --output "$ICONS/hicolor/${size}x${size}/apps/$ID.png"
done
