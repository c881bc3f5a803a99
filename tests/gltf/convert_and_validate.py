#!/usr/bin/env python3
"""Converts the sample house and a fixed set of model files of many formats to
.glb and .gltf with `pelmora` and checks every file with the Khronos glTF
validator (0 errors, 0 warnings). Exits 77 (skipped) only when node or the
validator is not installed.

usage: convert_and_validate.py PELMORA SOURCE_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77
MODELS_ROOT = "/usr/share/assimp/models"
# One or more files per format, each a model the export takes.
MODELS = [
    "OBJ/WusonOBJ.obj",
    "PLY/Wuson.ply",
    "STL/Spider_binary.stl",
    "glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb",
    "glTF2/BoxTextured-glTF/BoxTextured.gltf",
    "FBX/box.fbx",
    "3DS/fels.3ds",
    "Collada/duck.dae",
    "BLEND/BlenderDefault_276.blend",
    "X/Testwuson.X",
    "IFC/AC14-FZK-Haus.ifc",
    "AC/Wuson.ac",
    "3MF/box.3mf",
    "LWO/LWO2/Subdivision.lwo",
    "MD2/faerie.md2",
    "OFF/Cube.off",
    "ASE/ThreeCubesGreen.ASE",
    "MS3D/jeep1.ms3d",
    "B3D/WusonBlitz.b3d",
    "Q3D/earth.q3o",
]


def run(arguments, what):
    result = subprocess.run(arguments, capture_output=True, text=True)
    if result.returncode != 0:
        print(f"FAILED: {what} (status {result.returncode})\n{result.stdout}{result.stderr}")
        return False
    return True


def main():
    tool, source = sys.argv[1], sys.argv[2]
    validate = os.path.join(source, "tools", "gltf-validate", "validate.js")
    node = shutil.which("node")
    if not node:
        print("SKIPPED: node is not installed (scripts/install-deps.sh installs it)")
        return SKIPPED
    if not os.path.isdir(os.path.join(source, "tools", "gltf-validate", "node_modules", "gltf-validator")):
        print("SKIPPED: the glTF validator is not installed; run `npm ci` in tools/gltf-validate "
              "(scripts/install-deps.sh does)")
        return SKIPPED
    with tempfile.TemporaryDirectory() as work:
        host = os.path.join(work, "host")
        shutil.copytree(os.path.join(source, "examples", "host"), host)
        sources = [(os.path.join(source, "examples", "house.json"), "house", ["--mode", "3"])]
        sources += [(os.path.join(MODELS_ROOT, m), m.replace("/", "_"), []) for m in MODELS]
        files, ok = [], True
        for path, name, extra in sources:
            qmx = os.path.join(work, name + ".qmx")
            if not run([tool, "export", path, "-o", qmx, "--host-dir", host] + extra, "export " + path):
                ok = False
                continue
            pictures = os.path.join(source, "examples", "textures")
            if name == "house" and os.path.isdir(pictures):
                extra_convert = ["--textures", pictures]
            else:
                extra_convert = []
            for ext in ("glb", "gltf"):
                folder = os.path.join(work, name + "-" + ext)
                os.mkdir(folder)
                out = os.path.join(folder, name + "." + ext)
                if run([tool, "convert", qmx, out] + extra_convert, f"convert {path} to .{ext}"):
                    files.append(out)
                else:
                    ok = False
        ok = run([node, validate] + files, "validation") and ok
        print(f"{len(files)} files of {len(sources)} sources validated" + ("" if ok else "; some failed"))
        return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
