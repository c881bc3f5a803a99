#!/usr/bin/env python3
"""Lists every include in the plug-in that points up the layers.

The plug-in's folders are layers, bottom-up as the data flows; a file may
include from its own folder, from a folder of the same layer or from a lower
one, never from a higher one nor from the programs built around the plug-in.
Exit status 1 when any include breaks that, with one line per include.

Usage: check-layers.py [PLUGIN_DIR]   (default: the plugin/ folder beside scripts/)
"""
import pathlib
import re
import sys

# Lower number = lower layer. Folders of one number may include each other.
LAYERS = {
    "platform": 0, "host": 0, "scene_file": 0,
    "templates": 1,
    "items": 2,
    "collect": 3,
    "scene": 4,
    "command": 5,
    "module": 6,
}
# The emulated host, the reader and the tool are built on the plug-in, never under it.
OUTSIDE = {"hostsim", "qmxread", "tool", "tests", "bench", "fuzz"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"(?:plugin/)?([^"/]+)/')


def violations(root: pathlib.Path):
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".rc") or not path.is_file():
            continue
        folder = path.relative_to(root).parts[0]
        if folder not in LAYERS:
            yield f"{path}: folder '{folder}' has no layer; add it to the layer table"
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = match.group(1)
            if target in OUTSIDE:
                yield f"{path}:{number}: includes {target}/, which is built on the plug-in"
            elif target in LAYERS and LAYERS[target] > LAYERS[folder]:
                yield f"{path}:{number}: {folder}/ includes {target}/, a higher layer"


def main() -> int:
    default = pathlib.Path(__file__).resolve().parent.parent / "plugin"
    root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else default
    found = list(violations(root))
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) against the layers", file=sys.stderr)
        return 1
    print(f"layers kept in {root}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
