#!/usr/bin/env bash
# Installs what is missing, builds Zephlin with its tests (Debug, with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test
# headless through CTest. Extra arguments go to ctest (e.g. -R Strings).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ZPH_ROOT/scripts/deps.sh"

BUILD="$ZPH_ROOT/build/test"
cmake -S "$ZPH_ROOT" -B "$BUILD" $(zph_generator) -DCMAKE_BUILD_TYPE=Debug -DZPH_SANITIZE=ON -DZPH_BUILD_TESTS=ON \
  -DZPH_BUILD_BENCH=ON
cmake --build "$BUILD" -j "$(zph_jobs)"

export QT_QPA_PLATFORM=offscreen
# Headless whatever session it is started from: no display in reach.
unset DISPLAY WAYLAND_DISPLAY
export QTWEBENGINE_DISABLE_SANDBOX=1
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:new_delete_type_mismatch=0}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$ZPH_ROOT/scripts/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

cd "$BUILD"
ctest --output-on-failure -j "$(zph_jobs)" "$@"
