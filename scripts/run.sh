#!/usr/bin/env bash
# Installs what is missing, builds Zephlin (Release) and starts it.
# Arguments are passed to the program: feed addresses and OPML files, e.g.
#   scripts/run.sh 'feed://127.0.0.1:8000/x.xml'
# reach a Zephlin already running on the same data folder, which comes
# forward and subscribes (this start then ends).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ZPH_ROOT/scripts/deps.sh"

BUILD="$ZPH_ROOT/build/release"
cmake -S "$ZPH_ROOT" -B "$BUILD" $(zph_generator) -DCMAKE_BUILD_TYPE=Release -DZPH_BUILD_TESTS=OFF
cmake --build "$BUILD" --target zephlin -j "$(zph_jobs)"

exec "$BUILD/bin/zephlin" "$@"
