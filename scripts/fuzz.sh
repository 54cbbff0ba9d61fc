#!/usr/bin/env bash
# Builds the fuzz programs of fuzz/ with clang, libFuzzer and AddressSanitizer
# (build/fuzz) and runs each for the given number of seconds (default 60),
# starting from a seed corpus copied out of the folders its source names on
# its "// Seeds:" line. Prints one line per program; exits 1 when any program
# found something (the inputs are kept in build/fuzz/findings/<name>/).
#
# A new program is a new fuzz/<Name>.cpp with a "// Seeds: <folder> ..." line
# (folders relative to the repository) and, when it needs them, a line
# "// Fuzz options: -flag=value ..." of extra libFuzzer flags; nothing else
# needs changing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

SECONDS_PER_TARGET="${1:-60}"
if ! [[ "$SECONDS_PER_TARGET" =~ ^[0-9]+$ ]] || [ "$SECONDS_PER_TARGET" -lt 1 ]; then
  echo "usage: $0 [seconds per target]" >&2
  exit 2
fi

# The build packages, with the fuzzing compiler and its runtime.
"$ZPH_ROOT/scripts/deps.sh" clang-14 libclang-rt-14-dev

BUILD="$ZPH_ROOT/build/fuzz"
cmake -S "$ZPH_ROOT" -B "$BUILD" $(zph_generator) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DZEPHLIN_FUZZ=ON -DZPH_BUILD_TESTS=OFF -DZPH_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$(zph_jobs)" --target zph_fuzz_targets

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$ZPH_ROOT/scripts/lsan.supp:print_suppressions=0}"

status=0
for source in "$ZPH_ROOT"/fuzz/*.cpp; do
  name="$(basename "$source" .cpp)"
  program="$BUILD/bin/fuzz_$name"
  corpus="$WORK/$name/corpus"
  findings="$BUILD/findings/$name"
  log="$BUILD/logs/$name.log"
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"

  # The seed corpus: every file of the named folders, copied so that what the
  # fuzzer adds never lands in the repository.
  seeds="$(sed -n 's|^// Seeds:[[:space:]]*||p' "$source" | head -n 1)"
  for folder in $seeds; do
    if [ -d "$ZPH_ROOT/$folder" ]; then
      find "$ZPH_ROOT/$folder" -type f ! -name '.*' -print0 |
        while IFS= read -r -d '' file; do
          cp "$file" "$corpus/$(echo "$file" | md5sum | cut -c1-16)-$(basename "$file")"
        done
    fi
  done

  read -r -a options <<<"$(sed -n 's|^// Fuzz options:[[:space:]]*||p' "$source" | head -n 1)"

  set +e
  "$program" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "${options[@]}" "$corpus" >"$log" 2>&1
  rc=$?
  set -e

  runs="$(sed -n 's/^stat::number_of_executed_units:[[:space:]]*//p' "$log" | tail -n 1)"
  if [ "$rc" -eq 0 ]; then
    echo "$name: ok, ${runs:-?} runs in ${SECONDS_PER_TARGET}s, $(find "$corpus" -type f | wc -l) corpus files"
  else
    finding="$(ls -t "$findings" 2>/dev/null | head -n 1)"
    echo "$name: FOUND ($(grep -m1 -oE 'ERROR: [A-Za-z]+: [a-z-]+|deadly signal|timeout|out-of-memory|check failed: .*' "$log" || echo "exit $rc")), input ${finding:+$findings/$finding}, log $log"
    status=1
  fi
done
exit "$status"
