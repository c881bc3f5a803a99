#!/usr/bin/env bash
# The Windows tool (pelmora.exe) under Wine, as CTest runs it:
#
#   windows/tool_test.sh CASE PREFIX TOOL WORK HOOKED_TOOL
#
# HOOKED_TOOL is the tool built with the test points of Ctrl+C
# (PELMORA_INTERRUPT_AT_POLL and _STEP), which TOOL never reads.
#
# CASE "house": the example house exported with the example host folder gives
# the reference bytes (the Linux export's), inspect --json gives valid JSON,
# the ASCII conversion comes back to the same bytes, a batch of two with -j 2
# (one process each) gives them twice, a dry run writes nothing, and Ctrl+C
# at the plug-in's first abort poll stops the run with exit 3 and the old
# file kept, while one after the replacement leaves the new file.
# CASE "file-names": a drawing in a folder named in letters of the ANSI code
# page (1252 under wine_run.sh) is exported, inspected and converted as any
# other; a folder named in letters that code page lacks is refused with exit
# status 2 and a message, since the plug-in's file calls could not name it.
# CASE "refusals": model files and the preview, which the Windows build does
# not have, give exit status 2 and say so, and neither the help nor `formats`
# offers them; a drawing in a code page other than the system's (1252 under
# wine_run.sh) is refused naming both; nothing is written.
set -euo pipefail
case_name=$1 prefix=$2 tool=$3 work=$4 hooked=$5
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
# The example's export in mode 2 (the Linux tool's bytes; see windows/wine_checks.sh).
house_sha256=613b3ab6f04b9403322a3f4c389ed37490876faeedb855b77a9cacd757c177e0
house_bytes=16297

failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }
pelmora() { "$here/wine_run.sh" "$prefix" "$tool" "$@"; }
# Runs pelmora, keeps its status in $status and its output in $work/stdout and $work/stderr.
run() {
  status=0
  pelmora "$@" >"$work/stdout" 2>"$work/stderr" || status=$?
}
run_hooked() {
  status=0
  "$here/wine_run.sh" "$prefix" "$hooked" "$@" >"$work/stdout" 2>"$work/stderr" || status=$?
}
expect_status() {
  if [ "$status" -ne "$1" ]; then fail "$2: exit status $status, expected $1"; cat "$work/stderr" >&2; fi
}
expect_house() {
  if [ ! -f "$1" ]; then fail "$2: $1 was not written"; return; fi
  local sum size
  sum=$(sha256sum "$1" | cut -d' ' -f1)
  size=$(stat -c %s "$1")
  if [ "$sum" != "$house_sha256" ] || [ "$size" -ne "$house_bytes" ]; then
    fail "$2: $1 is not the reference export ($size bytes, sha256 $sum)"
  fi
}

rm -rf "$work"
mkdir -p "$work/out"
cp "$source_dir/examples/house.json" "$work/house.json"
cp -r "$source_dir/examples/host" "$work/host"

case $case_name in
house)
  run export "$work/house.json" -o "$work/house.qmx" --host-dir "$work/host" --mode 2 --json
  expect_status 0 "export of the house"
  expect_house "$work/house.qmx" "export of the house"
  python3 -c 'import json, sys; s = json.load(open(sys.argv[1])); assert s["status"] == "written", s' "$work/stdout" \
    || fail "the --json summary is not valid JSON saying \"written\""

  run inspect "$work/house.qmx" --json
  expect_status 0 "inspect --json"
  python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); assert d["root"], d' "$work/stdout" \
    || fail "inspect --json gave no valid JSON with the scene"

  run convert "$work/house.qmx" "$work/house-ascii.qmx" --ascii
  expect_status 0 "convert --ascii"
  run convert "$work/house-ascii.qmx" "$work/house-again.qmx" --binary
  expect_status 0 "convert --binary"
  expect_house "$work/house-again.qmx" "the ASCII conversion converted back"

  cp "$work/house.json" "$work/second.json"
  run export "$work/house.json" "$work/second.json" -o "$work/out/" --host-dir "$work/host" --mode 2 -j 2
  expect_status 0 "batch export with -j 2"
  expect_house "$work/out/house.qmx" "batch export"
  expect_house "$work/out/second.qmx" "batch export"

  run export "$work/house.json" -o "$work/dry.qmx" --host-dir "$work/host" --mode 2 --dry-run
  expect_status 0 "dry run"
  [ ! -e "$work/dry.qmx" ] || fail "the dry run wrote $work/dry.qmx"

  echo "the previous file" >"$work/kept.qmx"
  PELMORA_INTERRUPT_AT_POLL=1 run_hooked export "$work/house.json" -o "$work/kept.qmx" --host-dir "$work/host" --mode 2 --force
  expect_status 3 "Ctrl+C at the first abort poll"
  [ "$(cat "$work/kept.qmx")" = "the previous file" ] || fail "Ctrl+C at the first abort poll changed the old file"
  grep -q "stopped by Ctrl+C" "$work/stderr" || fail "Ctrl+C at the first abort poll was not reported"
  PELMORA_INTERRUPT_AT_STEP=replaced run_hooked export "$work/house.json" -o "$work/kept.qmx" --host-dir "$work/host" \
    --mode 2 --force
  expect_status 0 "Ctrl+C after the replacement"
  expect_house "$work/kept.qmx" "Ctrl+C after the replacement"
  grep -q "Ctrl+C came after" "$work/stderr" || fail "Ctrl+C after the replacement was not reported"
  leftovers=$(find "$work" -maxdepth 2 -name '*.part*' -o -maxdepth 2 -name '*.pelmora-tmp' -o -maxdepth 2 -name '.*.tmp*')
  [ -z "$leftovers" ] || fail "files left behind: $leftovers"
  ;;
file-names)
  mkdir -p "$work/Häuser" "$work/Дом"
  cp "$work/house.json" "$work/Häuser/Hütte.json"
  run export "$work/Häuser/Hütte.json" -o "$work/Häuser/Hütte.qmx" --host-dir "$work/host" --mode 2
  expect_status 0 "export in a folder named in the ANSI code page"
  expect_house "$work/Häuser/Hütte.qmx" "export in a folder named in the ANSI code page"
  run inspect "$work/Häuser/Hütte.qmx" --json
  expect_status 0 "inspect of Hütte.qmx"
  run convert "$work/Häuser/Hütte.qmx" "$work/Häuser/Hütte-ä.qmx" --ascii
  expect_status 0 "convert of Hütte.qmx"
  [ -s "$work/Häuser/Hütte-ä.qmx" ] || fail "convert wrote no Hütte-ä.qmx"
  cp "$work/house.json" "$work/Дом/дом.json"
  run export "$work/Дом/дом.json" -o "$work/Дом/дом.qmx" --host-dir "$work/host" --mode 2
  expect_status 2 "export into a folder the ANSI code page cannot name"
  grep -q "cannot be given to the plug-in" "$work/stderr" || fail "the refusal does not say why: $(cat "$work/stderr")"
  [ "$(ls -A "$work/Дом")" = "дом.json" ] || fail "files were left in Дом: $(ls -A "$work/Дом")"
  ;;
refusals)
  message="model files are not supported by the Windows build of pelmora"
  printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n' >"$work/model.obj"
  run export "$work/model.obj" -o "$work/model.qmx" --host-dir "$work/host"
  expect_status 2 "export of a model file"
  grep -q "$message" "$work/stderr" || fail "export of a model file does not say why: $(cat "$work/stderr")"
  run import "$work/model.obj" -o "$work/model.json"
  expect_status 2 "import"
  grep -q "$message" "$work/stderr" || fail "import does not say why: $(cat "$work/stderr")"
  run export "$work/house.json" -o "$work/house.qmx" --host-dir "$work/host" --mode 2
  run convert "$work/house.qmx" "$work/house.glb"
  expect_status 2 "convert to glTF"
  grep -q "not supported by the Windows build" "$work/stderr" || fail "convert to glTF does not say why"
  run preview "$work/house.qmx" -o "$work/house.png"
  expect_status 2 "preview"
  grep -q "preview is not supported by the Windows build" "$work/stderr" || fail "preview does not say why"
  rm -f "$work/house.qmx"
  run export "$work/house.json" -o "$work/house.qmx" --host-dir "$work/host" --mode 2 --preview "$work/house.png"
  expect_status 2 "export --preview"
  [ ! -e "$work/house.qmx" ] || fail "export --preview exported although it cannot render the picture"
  run --help
  ! grep -qiE 'import|assimp|model' "$work/stdout" || fail "--help offers what the Windows build lacks: $(cat "$work/stdout")"
  run export --help
  ! grep -qE -- '--model|--import-|--preview|3D model|OBJ|glTF' "$work/stdout" \
    || fail "export --help offers model files: $(cat "$work/stdout")"
  run formats
  ! grep -qiE 'glb|gltf|obj|ply|stl' "$work/stdout" || fail "formats lists what the Windows build lacks: $(cat "$work/stdout")"
  python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); d["codePage"] = 65001; json.dump(d, open(sys.argv[2], "w"))' \
    "$work/house.json" "$work/utf8.json"
  run export "$work/utf8.json" -o "$work/utf8.qmx" --host-dir "$work/host" --mode 2
  expect_status 2 "export of a drawing in code page 65001 under 1252"
  grep -q "65001" "$work/stderr" && grep -q "1252" "$work/stderr" \
    || fail "the code page refusal does not name both code pages: $(cat "$work/stderr")"
  for file in model.qmx model.json house.glb house.png utf8.qmx; do
    [ ! -e "$work/$file" ] || fail "$file was written"
  done
  ;;
*)
  echo "usage: tool_test.sh house|file-names|refusals PREFIX TOOL WORK HOOKED_TOOL" >&2
  exit 2
  ;;
esac
exit $failed
