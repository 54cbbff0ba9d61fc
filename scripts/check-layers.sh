#!/usr/bin/env bash
# Fails when an include points up a layer. The layers, lowest first:
#   core/platform -> core/foundation -> core/store -> core/feeds
#   -> core/subscribe -> core/sync -> app
# A file may include its own layer and any layer below it. Includes are
# written from the folder's root ("store/entities/CBFeed.h"); one that climbs
# with "../" is refused too, since its layer can't be told at a glance.
# Prints one line per offending include (file:line) and exits 1, or prints
# nothing and exits 0.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

exec python3 - "$@" <<'PY'
import pathlib, re, sys

LAYERS = ["platform", "foundation", "store", "feeds", "subscribe", "sync"]
APP = len(LAYERS)
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"')

def layer_of_core_path(path):
    first = path.split("/", 1)[0]
    return LAYERS.index(first) if first in LAYERS else None

failures = []
for root in ("core", "app"):
    for source in sorted(pathlib.Path(root).rglob("*")):
        if source.suffix not in (".h", ".cpp") or not source.is_file():
            continue
        relative = source.relative_to(root).as_posix()
        own = APP if root == "app" else layer_of_core_path(relative)
        for number, line in enumerate(source.read_text(errors="replace").splitlines(), 1):
            match = include.match(line)
            if not match:
                continue
            target = match.group(1)
            where = f"{source.as_posix()}:{number}"
            if target.startswith("../") or "/../" in target:
                failures.append(f"{where}: includes \"{target}\" by climbing folders; write it from the layer's root")
                continue
            if own is None:
                failures.append(f"{where}: {source.as_posix()} is in no layer (core/{{{','.join(LAYERS)}}}/ or app/)")
                break
            target_layer = layer_of_core_path(target)
            if target_layer is None:
                continue  # a file beside it, or the app's own folders
            if target_layer > own:
                own_name = "app" if own == APP else LAYERS[own]
                failures.append(f"{where}: {own_name} includes \"{target}\" of the higher layer {LAYERS[target_layer]}")

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
PY
