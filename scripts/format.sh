#!/usr/bin/env bash
# Formats the C++ sources with clang-format 14 and the repository's
# .clang-format. With --check, changes nothing: lists the files that are not
# formatted and exits 1 when there are any.
#   scripts/format.sh            # format in place
#   scripts/format.sh --check    # the CI gate
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

# One version for everybody: another version formats some lines differently.
FORMAT="$(command -v clang-format-14 || true)"
if [ -z "$FORMAT" ]; then
  "$ZPH_ROOT/scripts/deps.sh" clang-format-14 >&2
  FORMAT="$(command -v clang-format-14)"
fi

cd "$ZPH_ROOT"
mapfile -t files < <(git ls-files -co --exclude-standard -- core app tests bench tools fuzz | grep -E '\.(h|cpp)$' |
  while IFS= read -r f; do [ -f "$f" ] && echo "$f"; done)

if [ "$check" -eq 0 ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -r -n 50 -P "$(zph_jobs)" "$FORMAT" -i --style=file
  exit 0
fi

mapfile -t unformatted < <(printf '%s\0' "${files[@]}" |
  xargs -0 -r -n 25 -P "$(zph_jobs)" sh -c 'for f; do "$0" --style=file --dry-run -Werror "$f" >/dev/null 2>&1 || echo "$f"; done' "$FORMAT" |
  sort)
if [ ${#unformatted[@]} -gt 0 ]; then
  printf 'not formatted: %s\n' "${unformatted[@]}"
  echo "run scripts/format.sh to format them" >&2
  exit 1
fi
