#!/usr/bin/env bash
# clang-tidy 14 with the repository's .clang-tidy over the sources of core/
# and app/: prints each finding and exits 1 when there is one.
#   scripts/tidy.sh              # the sources changed since the last clean run (the CI gate)
#   scripts/tidy.sh --all        # every source
#   scripts/tidy.sh FILE...      # these files
# A clean run remembers its commit, and each file it passed (by its text,
# its header's, its compile command and the checks), in the user's cache
# folder; the next run checks what changed since. Without a remembered
# commit it checks what the last 30 commits changed. It configures the
# test build (build/test) when that has no compile_commands.json yet.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

TIDY="$(command -v clang-tidy-14 || true)"
if [ -z "$TIDY" ]; then
  "$ZPH_ROOT/scripts/deps.sh" clang-tidy-14 >&2
  TIDY="$(command -v clang-tidy-14)"
fi

cd "$ZPH_ROOT"
BUILD="$ZPH_TEST_BUILD"
[ -f "$BUILD/compile_commands.json" ] || zph_configure_test_build >&2

CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/zephlin-tidy"
mkdir -p "$CACHE/passed"
# One record per clone: the same folder may hold another project's clone later.
RECORD="$CACHE/last-clean-$(printf '%s' "$ZPH_ROOT" | sha1sum | cut -c1-16)"

# The sources the build compiles (generated ones left out).
mapfile -t sources < <(python3 - "$BUILD/compile_commands.json" "$ZPH_ROOT" <<'PY'
import json, os, sys
root = sys.argv[2].rstrip('/') + '/'
seen = set()
for entry in json.load(open(sys.argv[1])):
    path = os.path.normpath(os.path.join(entry['directory'], entry['file']))
    if path.startswith(root) and path[len(root):].split('/')[0] in ('core', 'app') and path not in seen:
        seen.add(path)
        print(path[len(root):])
PY
)

# A changed header counts as its source file's change.
to_sources() {
  local f
  while IFS= read -r f; do
    case "$f" in
      core/*.cpp | app/*.cpp) echo "$f" ;;
      core/*.h | app/*.h) [ -f "${f%.h}.cpp" ] && echo "${f%.h}.cpp" ;;
    esac
  done
}

mode=changed
explicit=()
case "${1:-}" in
  --all) mode=all ;;
  "") ;;
  -*) echo "usage: $0 [--all | FILE...]" >&2; exit 2 ;;
  *) mode=files; explicit=("$@") ;;
esac

case "$mode" in
  all) wanted=("${sources[@]}") ;;
  files) mapfile -t wanted < <(printf '%s\n' "${explicit[@]}" | to_sources | sort -u) ;;
  changed)
    base=""
    if [ -f "$RECORD" ] && git merge-base --is-ancestor "$(cat "$RECORD")" HEAD 2>/dev/null; then
      base=$(cat "$RECORD")
    else
      base=$(git rev-list --max-count=31 HEAD | tail -n 1)
    fi
    mapfile -t wanted < <({ git diff --name-only "$base" -- core app; git ls-files -o --exclude-standard -- core app; } |
      to_sources | sort -u)
    ;;
esac

# What the build compiles, still exists and has not passed these checks as
# it is now: "KEY FILE" lines.
checks_hash=$( { "$TIDY" --version; cat .clang-tidy; } | sha1sum | cut -c1-40)
mapfile -t pending < <(printf '%s\n' "${wanted[@]}" | python3 -c '
import hashlib, json, os, sys
build, root, checks, passed = sys.argv[1:5]
commands = {}
for e in json.load(open(os.path.join(build, "compile_commands.json"))):
    path = os.path.relpath(os.path.normpath(os.path.join(e["directory"], e["file"])), root)
    # Without the folder of the clone: another clone of the same text passes too.
    commands.setdefault(path, (e.get("command") or " ".join(e["arguments"])).replace(root, ""))
for f in sys.stdin.read().split("\n"):
    if f not in commands or not os.path.isfile(os.path.join(root, f)):
        continue
    h = hashlib.sha1((checks + commands[f]).encode())
    for part in (f, f[:-4] + ".h"):
        if os.path.isfile(os.path.join(root, part)):
            h.update(open(os.path.join(root, part), "rb").read())
    if not os.path.exists(os.path.join(passed, h.hexdigest())):
        print(h.hexdigest(), f)
' "$BUILD" "$ZPH_ROOT" "$checks_hash" "$CACHE/passed")

echo "tidy: ${#pending[@]} of ${#wanted[@]} sources to check (${#sources[@]} in all)" >&2
# Each file that passes is remembered at once, so an interrupted or failed
# run does not check it again.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
if [ ${#pending[@]} -gt 0 ]; then
  printf '%s\0' "${pending[@]}" |
    xargs -0 -r -n 1 -P "$(zph_jobs)" sh -c '
      if found=$("$0" -p "$1" --quiet --extra-arg=-Wno-unknown-warning-option "${3#* }" 2>&1); then
        : >"$2/${3%% *}"
      else
        status=$?
        printf "%s\n" "$found"
        printf "%s\n" "$found" | grep -q ": error:" ||
          printf "%s:1:1: error: clang-tidy ended with status %s\n" "${3#* }" "$status"
      fi' \
      "$TIDY" "$BUILD" "$CACHE/passed" >"$out" || true
fi

findings=$(grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error):' "$out" | sed "s#^$ZPH_ROOT/##" | sort -u || true)
if [ -n "$findings" ]; then
  printf '%s\n' "$findings"
  echo "tidy: $(printf '%s\n' "$findings" | wc -l) finding(s); mend them, or silence a false alarm at its line with // NOLINT(check): why" >&2
  exit 1
fi
[ "$mode" = files ] || git rev-parse HEAD >"$RECORD"
exit 0
