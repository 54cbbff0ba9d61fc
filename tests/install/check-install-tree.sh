#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and checks it as the desktop
# would see it:
#   check-install-tree.sh CMAKE BUILD SOURCE APP_ID VERSION BUILT_PROGRAM
# - the tree holds the program, the core library, the desktop entry, the
#   AppStream data and the icons, and nothing else;
# - desktop-file-validate and appstreamcli validate --no-net pass on them;
# - the program finds the core library through an RPATH relative to itself:
#   a copy of the prefix elsewhere answers --version and starts, writes its
#   window and quits, with the build and source trees hidden behind empty
#   folders (in a mount namespace of its own, so other tests see nothing);
# - xdg-mime, on data and configuration folders of the test's own, finds the
#   desktop entry for feed: and zephlin: addresses and OPML files, and
#   answers its id after `xdg-mime default`.
set -euo pipefail

CMAKE="$1" BUILD="$2" SOURCE="$3" ID="$4" VERSION="$5" BUILT_PROGRAM="$6"
BUILD="$(cd "$BUILD" && pwd -P)"
SOURCE="$(cd "$SOURCE" && pwd -P)"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

inside() {  # inside PATH FOLDER
  case "$1/" in "$2"/*) return 0 ;; esac
  return 1
}

WORK="$(mktemp -d)"
WORK="$(cd "$WORK" && pwd -P)"
if inside "$WORK" "$BUILD" || inside "$WORK" "$SOURCE"; then
  rm -rf "$WORK"
  WORK="$(cd "$(mktemp -d -p /tmp)" && pwd -P)"
fi
trap 'rm -rf "$WORK"' EXIT
PREFIX="$WORK/prefix"

echo "== cmake --install into $PREFIX"
"$CMAKE" --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" || {
  cat "$WORK/install.log" >&2
  fail "cmake --install"
}

echo "== the installed files"
library="$(cd "$PREFIX" && find . -name 'libzphcore.so.*' -type f | sed 's|^\./||')"
[ -n "$library" ] || fail "libzphcore is not installed"
libdir="$(dirname "$library")"
[ "$(basename "$libdir")" = zephlin ] || fail "libzphcore is in $libdir, not in a folder of its own"
expected=(
  bin/zephlin
  "$library"
  "$libdir/$(readelf -d "$PREFIX/$library" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')"
  "share/applications/$ID.desktop"
  "share/metainfo/$ID.metainfo.xml"
  "share/icons/hicolor/scalable/apps/$ID.svg"
)
for size in 16 22 24 32 48 64 128 256 512; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$ID.png")
done
printf '%s\n' "${expected[@]}" | sort >"$WORK/expected"
(cd "$PREFIX" && find . -type f -o -type l) | sed 's|^\./||' | sort >"$WORK/installed"
diff -u "$WORK/expected" "$WORK/installed" || fail "the install tree differs from the expected one (- missing, + extra)"
[ -x "$PREFIX/bin/zephlin" ] || fail "bin/zephlin is not executable"

echo "== desktop-file-validate"
out="$(desktop-file-validate "$PREFIX/share/applications/$ID.desktop" 2>&1)" || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
echo "== appstreamcli validate --no-net"
appstreamcli validate --no-net "$PREFIX/share/metainfo/$ID.metainfo.xml" || fail "appstreamcli validate"
grep -q "^Icon=$ID\$" "$PREFIX/share/applications/$ID.desktop" || fail "the desktop entry names no icon $ID"

echo "== RPATH"
for file in bin/zephlin "$library"; do
  readelf -d "$PREFIX/$file" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]/\2/p' | tr ':' '\n' | while read -r entry; do
    [ -z "$entry" ] || case "$entry" in
      '$ORIGIN' | '$ORIGIN/'*) ;;
      *) fail "$file searches $entry for libraries, a folder outside the install tree" ;;
    esac
  done
done

echo "== the program moved elsewhere, the build and source trees out of its reach"
MOVED="$WORK/elsewhere/zephlin"
mkdir -p "$WORK/elsewhere" "$WORK/home" "$WORK/runtime"
chmod 700 "$WORK/runtime"
cp -a "$PREFIX" "$MOVED"
# A sanitizer build reads its suppressions from the source tree.
sanitizer_options=()
if [ -f "$SOURCE/scripts/lsan.supp" ]; then
  cp "$SOURCE/scripts/lsan.supp" "$WORK/lsan.supp"
  sanitizer_options+=("LSAN_OPTIONS=suppressions=$WORK/lsan.supp:print_suppressions=0")
fi
[ -z "${ASAN_OPTIONS:-}" ] || sanitizer_options+=("ASAN_OPTIONS=$ASAN_OPTIONS")
[ -z "${UBSAN_OPTIONS:-}" ] || sanitizer_options+=("UBSAN_OPTIONS=$UBSAN_OPTIONS")
# A clean environment: no display, no session bus, folders of the test's own.
clean=(env -i "PATH=/usr/bin:/bin" "HOME=$WORK/home" "XDG_RUNTIME_DIR=$WORK/runtime"
  "XDG_CONFIG_HOME=$WORK/home/config" "XDG_DATA_HOME=$WORK/home/data" "XDG_CACHE_HOME=$WORK/home/cache"
  "${sanitizer_options[@]}")

# Runs a command in a mount namespace where the build and source trees are
# empty folders; prints "unhidden" and fails when they cannot be hidden.
hidden() {
  local namespace=()
  for candidate in "unshare --mount" "unshare --mount --map-root-user"; do
    # shellcheck disable=SC2086
    if $candidate true >/dev/null 2>&1; then
      read -r -a namespace <<<"$candidate"
      break
    fi
  done
  if [ ${#namespace[@]} -eq 0 ]; then
    echo unhidden
    return 1
  fi
  "${namespace[@]}" sh -c '
    build="$1" source="$2"
    shift 2
    if ! mount -t tmpfs -o ro tmpfs "$build" 2>/dev/null || ! mount -t tmpfs -o ro tmpfs "$source" 2>/dev/null; then
      echo unhidden
      exit 1
    fi
    [ -z "$(ls -A "$build")" ] && [ -z "$(ls -A "$source")" ] || exit 1
    cd / && exec "$@"' sh "$BUILD" "$SOURCE" "$@"
}

if version="$(hidden "${clean[@]}" "$MOVED/bin/zephlin" --version 2>"$WORK/version.err")"; then
  # The trees are out of reach: the program as built, which finds the core
  # library in the build tree, no longer starts from a copy.
  cp "$BUILT_PROGRAM" "$WORK/built-zephlin"
  if hidden "${clean[@]}" "$WORK/built-zephlin" --version >/dev/null 2>&1; then
    fail "the build tree stayed in reach of the moved program"
  fi
  [ "$version" = "Zephlin $VERSION" ] || fail "the moved program answered '$version' to --version"
  hidden "${clean[@]}" QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
    timeout 300 "$MOVED/bin/zephlin" --data-dir "$WORK/home/zephlin" --screenshot "$WORK/window.png" \
    >"$WORK/start.log" 2>&1 || {
    tail -n 40 "$WORK/start.log" >&2
    fail "the moved program did not start and quit"
  }
  [ "$(head -c 8 "$WORK/window.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    fail "the moved program wrote no picture of its window"
elif [ "$version" = unhidden ]; then
  # No mount namespace here (no unprivileged user namespaces): the trees
  # stay reachable, so ask the dynamic loader where the core came from.
  echo "note: no mount namespace; checking where the moved program loads the core library from"
  "${clean[@]}" LD_DEBUG=libs "$MOVED/bin/zephlin" --version >"$WORK/version.out" 2>"$WORK/ld.log" ||
    fail "the moved program failed on --version"
  [ "$(cat "$WORK/version.out")" = "Zephlin $VERSION" ] || fail "the moved program answered '$(cat "$WORK/version.out")'"
  grep -q "calling init: $MOVED/.*libzphcore" "$WORK/ld.log" || fail "the moved program loads the core from elsewhere"
else
  cat "$WORK/version.err" >&2
  fail "the moved program failed on --version with the build and source trees hidden"
fi

echo "== xdg-mime"
update-desktop-database "$PREFIX/share/applications"
mkdir -p "$WORK/xdg/data/applications" "$WORK/xdg/config" "$WORK/xdg/config-dirs"
printf '[Desktop Entry]\nType=Application\nName=Other Reader\nExec=true %%u\nMimeType=x-scheme-handler/feed;\n' \
  >"$WORK/xdg/data/applications/other-reader.desktop"
xdg() {
  env -i "PATH=/usr/bin:/bin" "HOME=$WORK/home" "XDG_DATA_DIRS=$PREFIX/share" "XDG_DATA_HOME=$WORK/xdg/data" \
    "XDG_CONFIG_HOME=$WORK/xdg/config" "XDG_CONFIG_DIRS=$WORK/xdg/config-dirs" xdg-mime "$@"
}
# Before any choice, from what the installed entry declares.
for type in x-scheme-handler/feed x-scheme-handler/zephlin text/x-opml+xml; do
  answer="$(xdg query default "$type")"
  [ "$answer" = "$ID.desktop" ] || fail "xdg-mime answers '$answer' for $type, not $ID.desktop"
done
xdg default other-reader.desktop x-scheme-handler/feed
[ "$(xdg query default x-scheme-handler/feed)" = other-reader.desktop ] || fail "xdg-mime default other-reader.desktop"
xdg default "$ID.desktop" x-scheme-handler/feed
answer="$(xdg query default x-scheme-handler/feed)"
[ "$answer" = "$ID.desktop" ] || fail "after xdg-mime default, feed: goes to '$answer', not $ID.desktop"
grep -q "^x-scheme-handler/feed=$ID.desktop" "$WORK/xdg/config/mimeapps.list" || fail "the choice is not in the test's mimeapps.list"

echo "== the install tree passed every check"
