# Shared by run.sh and test.sh: where the source is and how to configure.
ZPH_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ZPH_ROOT

zph_jobs() {
  local n
  n=$(nproc 2>/dev/null || echo 2)
  echo "$n"
}

zph_generator() {
  if command -v ninja >/dev/null 2>&1; then
    echo "-GNinja"
  fi
}

# Checkouts of the same tree in different folders share ccache's entries.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$ZPH_ROOT}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"

# The test build: Debug with AddressSanitizer and UndefinedBehaviorSanitizer,
# tests and benchmarks (scripts/test.sh builds it; scripts/tidy.sh reads its
# compile commands).
ZPH_TEST_BUILD="$ZPH_ROOT/build/test"
zph_configure_test_build() {
  cmake -S "$ZPH_ROOT" -B "$ZPH_TEST_BUILD" $(zph_generator) -DCMAKE_BUILD_TYPE=Debug -DZPH_SANITIZE=ON \
    -DZPH_BUILD_TESTS=ON -DZPH_BUILD_BENCH=ON
}
