#!/usr/bin/env bash
# Installs what is missing, builds the tool and the plug-in, exports the sample
# house into a QMX file, shows it and renders the README's pictures of it
# (docs/house-preview.png, house-lit.png, house-lux.png) from its camera. The example is copied to out/demo first,
# so that the remembered export mode and any drawing write-back land there and
# not in the source tree.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target pelmora pelmora_plugin
rm -rf out/demo && mkdir -p out/demo
cp -r examples/host examples/house.json out/demo/
# The texture images the sample's templates name, beside the scene that names them.
cp examples/textures/*.jpg out/demo/
tool=./build/default/tool/pelmora
"$tool" export out/demo/house.json -o out/demo/house.qmx --host-dir out/demo/host --mode 3 --force
"$tool" inspect out/demo/house.qmx
"$tool" preview out/demo/house.qmx -o docs/house-preview.png --lights --edges --force
# Lit by its own lights only, and its illuminance in false colours.
"$tool" preview out/demo/house.qmx -o docs/house-lit.png --lit --lux docs/house-lux.png --force
# The same scene for any glTF viewer (f3d, Blender).
"$tool" convert out/demo/house.qmx out/demo/house.glb
# A second example: a model file that Debian ships.
"$tool" export /usr/share/assimp/models/OBJ/spider.obj -o out/demo/spider.qmx --host-dir out/demo/host --force \
  --preview out/demo/spider.png
"$tool" inspect out/demo/spider.qmx | head -n 40
