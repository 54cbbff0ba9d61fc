#!/usr/bin/env bash
# Fails when an include points up a layer or a floor.
#
# The core's layers, lowest first:
#   core/platform -> core/foundation -> core/store -> core/feeds
#   -> core/subscribe -> core/sync
# A core file may include its own layer and any layer below it, never app/.
#
# All of app/ sits above all of core/. Its rooms (folders of app/; a
# subfolder belongs to its room) stand on floors, lowest first (see
# docs/ARCHITECTURE.md, section 2a). An app file may include its own room
# and any room on a lower floor; rooms on the same floor never include each
# other. app/kit may include only core/platform and core/foundation of the
# core.
#
# Includes are written from the folder's root ("store/entities/CBFeed.h",
# "articlelist/ZPHArticleListModel.h"); one that climbs with "../" is
# refused too, since its layer can't be told at a glance, and so is one that
# names a folder that is neither a layer nor a room.
# Every header of app/ names its Qt kind in its first comment line
# ("// Qt kind: QWidget (QTableView)."; docs/ARCHITECTURE.md, section 2a).
# Prints one line per offence (file:line) and exits 1, or prints nothing and
# exits 0.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

exec python3 - "$@" <<'PY'
import pathlib, re, sys

LAYERS = ["platform", "foundation", "store", "feeds", "subscribe", "sync"]
# Floor of each room of app/, lowest first. Rooms without a folder yet are
# listed so that the first file put there is already in its place.
FLOORS = {
    "kit": 1,
    "common": 2,
    "themes": 3, "keys": 3,
    "web": 4, "sharing": 4, "sourcelist": 4, "subscriptions": 4, "sheets": 4,
    "articleview": 5, "browser": 5,
    "articlelist": 6,
    "preferences": 7,
    "mainwindow": 8,
    "shell": 9,
    "screenshots": 10,
    "program": 11,
}
# What of the core a room may include, when not all of it.
CORE_ALLOWED = {"kit": {"platform", "foundation"}}
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCES = (".h", ".cpp", ".inc")


def first_folder(path):
    return path.split("/", 1)[0] if "/" in path else None


failures = []


def check_core(source, relative, lines):
    first = first_folder(relative)
    own = LAYERS.index(first) if first in LAYERS else None
    for number, target in lines:
        where = f"{source}:{number}"
        if target.startswith("../") or "/../" in target:
            failures.append(f"{where}: includes \"{target}\" by climbing folders; write it from the layer's root")
            continue
        if own is None:
            failures.append(f"{where}: {source} is in no layer (core/{{{','.join(LAYERS)}}}/)")
            return
        folder = first_folder(target)
        if folder in FLOORS:
            failures.append(f"{where}: core includes \"{target}\" of the application (app/{folder}/)")
        elif folder in LAYERS and LAYERS.index(folder) > own:
            failures.append(f"{where}: {LAYERS[own]} includes \"{target}\" of the higher layer {folder}")


def check_app(source, relative, lines):
    room = first_folder(relative)
    for number, target in lines:
        where = f"{source}:{number}"
        if target.startswith("../") or "/../" in target:
            failures.append(f"{where}: includes \"{target}\" by climbing folders; write it from the room's root")
            continue
        if room not in FLOORS:
            failures.append(f"{where}: {source} is in no room of app/ ({', '.join(sorted(FLOORS))})")
            return
        folder = first_folder(target)
        if folder is None:
            continue  # a file beside it (a .moc, an .inc)
        if folder in LAYERS:
            allowed = CORE_ALLOWED.get(room)
            if allowed is not None and folder not in allowed:
                failures.append(f"{where}: {room} includes \"{target}\" of core/{folder}; "
                                f"{room} may use only core/{{{','.join(sorted(allowed))}}}")
            continue
        if folder not in FLOORS:
            failures.append(f"{where}: includes \"{target}\", which names no layer of core/ and no room of app/")
            continue
        if folder == room:
            continue
        if FLOORS[folder] > FLOORS[room]:
            failures.append(f"{where}: {room} (floor {FLOORS[room]}) includes \"{target}\" of the higher floor "
                            f"{FLOORS[folder]} ({folder})")
        elif FLOORS[folder] == FLOORS[room]:
            failures.append(f"{where}: {room} includes \"{target}\" of {folder}, a room on the same floor "
                            f"{FLOORS[room]}; move what both need down a floor")


for root, check in (("core", check_core), ("app", check_app)):
    for path in sorted(pathlib.Path(root).rglob("*")):
        if path.suffix not in SOURCES or not path.is_file():
            continue
        lines = []
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = include.match(line)
            if match:
                lines.append((number, match.group(1)))
        if root == "app" and "/" not in path.relative_to(root).as_posix():
            failures.append(f"{path.as_posix()}:1: {path.as_posix()} is in no room of app/ ({', '.join(sorted(FLOORS))})")
            continue
        check(path.as_posix(), path.relative_to(root).as_posix(), lines)
        if root == "app" and path.suffix == ".h":
            comments = [(n, l) for n, l in enumerate(path.read_text(errors="replace").splitlines(), 1)
                        if l.lstrip().startswith("//")]
            if not comments or not comments[0][1].startswith("// Qt kind: "):
                where = comments[0][0] if comments else 1
                failures.append(f"{path.as_posix()}:{where}: the first comment line does not name the header's "
                                "Qt kind (\"// Qt kind: ...\")")

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
PY
