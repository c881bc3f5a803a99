#!/usr/bin/env bash
# The 32-bit Windows build, tested under Wine: the plug-in module (with its
# export list checked), the test programs of the plug-in, the emulated host and
# the QMX reader run under Wine, then the same drawings exported on Linux and
# under Wine and compared byte for byte. Needs the Linux build (build/default,
# scripts/test.sh makes it) for the Linux side of the comparison.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh windows
start=$(date +%s)

# Debian ships simdjson for Linux only: its sources are built for Windows.
bash windows/fetch-simdjson.sh build/sources/simdjson
cmake --preset win32
cmake --build --preset win32

module=build/win32/plugin/pelmora.dll
i686-w64-mingw32-objdump -p "$module" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
  | grep -E '^\s*\[\s*[0-9]+\] [A-Za-z_0-9]+$' | sed 's/.*\] //' | sort > build/win32/exports.txt
if [ "$(cat build/win32/exports.txt)" != "$(printf 'pelmora_install_runner_hooks\nplugin_main')" ]; then
  echo "the Windows module must export plugin_main and pelmora_install_runner_hooks, nothing else:" >&2
  cat build/win32/exports.txt >&2
  exit 1
fi
echo "$module exports: $(tr '\n' ' ' < build/win32/exports.txt)"

echo "== test programs under Wine"
ctest --preset win32 -j2

echo "== the same drawings exported on Linux and under Wine"
if [ ! -x build/default/tool/pelmora ]; then
  cmake --preset default
  cmake --build --preset default --target pelmora
fi
bash windows/wine_checks.sh build/default build/win32

echo "== the ZIP package, installed as its text says, exports the house as Linux does"
rm -rf build/win32/package
(cd build/win32 && cpack -G ZIP >/dev/null)
zip=$(ls build/win32/package/pelmora-*-win32.zip)
installed=build/win32/package-check
rm -rf "$installed"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$installed"
top=$(ls -d "$installed"/pelmora-*-win32)
for f in pelmora.dll pelmora.exe INSTALL.txt Pelmora/_id_table.txt house.json drawing-format.md; do
  [ -f "$top/$f" ] || { echo "$zip lacks $f" >&2; exit 1; }
done
diff -r examples/host/Pelmora "$top/Pelmora"
cmp examples/house.json "$top/house.json"
# No path of the build machine in what is shipped.
if grep -l -a -F "$PWD" "$top/pelmora.exe" "$top/pelmora.dll"; then
  echo "the files above hold the build folder $PWD" >&2
  exit 1
fi
# As INSTALL.txt says: from the unpacked folder, with no --host-dir, the
# templates beside pelmora.exe are used.
(cd "$top" && "$OLDPWD/windows/wine_run.sh" "$OLDPWD/build/win32/wine-prefix" ./pelmora.exe export house.json \
  -o house.qmx --mode 2)
cmp build/win32/wine-checks/linux/house.qmx "$top/house.qmx"
echo "$zip: $(stat -c %s "$zip") bytes; its module exports the house byte for byte as on Linux"
echo "Windows build and checks took $(( $(date +%s) - start )) s"
