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
