#!/usr/bin/env bash
# Writes screenshots of what a user sees, so a person can look at them:
#   scripts/screenshots.sh [OUT]      (default OUT: build/screenshots)
#
# Serves synthetic feeds on 127.0.0.1 (tests/tools/feedfarm.py), builds a data
# folder from them through the core library (refresh_bench subscribes and
# refreshes into it), then starts zephlin on that folder headless with
# --screenshot, once per theme:
#   OUT/main-light.png   "ZPHSubthemeStyleIndexKey" 0
#   OUT/main-dark.png    "ZPHSubthemeStyleIndexKey" 1
# Fails when either picture is missing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

OUT="$(mkdir -p "${1:-$ZPH_ROOT/build/screenshots}" && cd "${1:-$ZPH_ROOT/build/screenshots}" && pwd)"

"$ZPH_ROOT/scripts/deps.sh"

BUILD="$ZPH_ROOT/build/release"
cmake -S "$ZPH_ROOT" -B "$BUILD" $(zph_generator) -DCMAKE_BUILD_TYPE=Release -DZPH_BUILD_TESTS=OFF \
  -DZPH_BUILD_BENCH=ON >/dev/null
cmake --build "$BUILD" --target zephlin refresh_bench -j "$(zph_jobs)"

WORK="$(mktemp -d)"
FARM_PID=""
cleanup() {
  if [ -n "$FARM_PID" ]; then
    kill "$FARM_PID" 2>/dev/null || true
    wait "$FARM_PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

# Nothing of these runs lands in the user's own settings, caches or runtime
# folder.
export XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache" XDG_DATA_HOME="$WORK/share"
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen
unset ZEPHLIN_DATA_DIR

python3 "$ZPH_ROOT/tests/tools/feedfarm.py" --port 0 --port-file "$WORK/farm.port" --feeds 12 --items 15 \
  --max-seconds 300 >"$WORK/farm.log" 2>&1 &
FARM_PID=$!
for _ in $(seq 1 100); do
  [ -s "$WORK/farm.port" ] && break
  sleep 0.1
done
if [ ! -s "$WORK/farm.port" ]; then
  echo "screenshots: the feed farm did not start" >&2
  cat "$WORK/farm.log" >&2
  exit 1
fi
FARM="http://127.0.0.1:$(cat "$WORK/farm.port")"

DATA="$WORK/zephlin"
"$BUILD/bin/refresh_bench" --data-dir "$DATA" --urls "$FARM/urls.txt" --rounds 1 >"$WORK/refresh.log"

# The settings live in DATA/Fernhollow/Zephlin.conf (INI).
SETTINGS="$DATA/Fernhollow/Zephlin.conf"
set_theme() {
  mkdir -p "$(dirname "$SETTINGS")"
  if [ ! -f "$SETTINGS" ] || ! grep -q '^\[General\]' "$SETTINGS"; then
    printf '[General]\n' >>"$SETTINGS"
  fi
  sed -i '/^ZPHSubthemeStyleIndexKey=/d' "$SETTINGS"
  sed -i "s/^\[General\]\$/[General]\nZPHSubthemeStyleIndexKey=$1/" "$SETTINGS"
}

status=0
for theme in light dark; do
  index=0
  [ "$theme" = dark ] && index=1
  set_theme "$index"
  picture="$OUT/main-$theme.png"
  rm -f "$picture"
  if ! "$BUILD/bin/zephlin" --data-dir "$DATA" --screenshot "$picture" >"$WORK/zephlin-$theme.log" 2>&1; then
    echo "screenshots: zephlin failed for the $theme theme:" >&2
    cat "$WORK/zephlin-$theme.log" >&2
    status=1
  fi
  if [ -s "$picture" ]; then
    echo "$picture"
  else
    echo "screenshots: $picture is missing" >&2
    status=1
  fi
done
exit "$status"
