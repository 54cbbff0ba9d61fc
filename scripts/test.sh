#!/usr/bin/env bash
# Installs what is missing, builds Zephlin with its tests (Debug, with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test
# headless through CTest. Extra arguments go to ctest (e.g. -R Strings).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ZPH_ROOT/scripts/deps.sh"

BUILD="$ZPH_TEST_BUILD"
zph_configure_test_build
cmake --build "$BUILD" -j "$(zph_jobs)"

export QT_QPA_PLATFORM=offscreen
# Headless whatever session it is started from: no display in reach.
unset DISPLAY WAYLAND_DISPLAY
export QTWEBENGINE_DISABLE_SANDBOX=1
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:new_delete_type_mismatch=0}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$ZPH_ROOT/scripts/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

cd "$BUILD"
# The tests mostly wait (for loopback servers, timers, other processes):
# half again as many as there are processors run side by side.
ctest --output-on-failure -j "$(($(zph_jobs) * 3 / 2))" "$@"
