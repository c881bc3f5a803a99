#!/usr/bin/env bash
# Installs what is missing, builds the tool and the plug-in, exports the sample
# house into a QMX file and shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target pelmora pelmora_plugin
mkdir -p out
./build/default/tool/pelmora export examples/house.json -o out/house.qmx \
  --host-dir examples/host --mode 3 --force
./build/default/tool/pelmora inspect out/house.qmx
