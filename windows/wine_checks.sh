#!/usr/bin/env bash
# The Windows module against the Linux one: exports the same drawings with the
# Linux tool and with the Windows tool (pelmora.exe, loading pelmora.dll beside
# it) under Wine, and
# compares the BINARY files byte for byte and the ASCII conversions modulo the
# line end (CR LF on Windows, where every line must end so).
#
#   windows/wine_checks.sh LINUX_BUILD WINDOWS_BUILD
# (both configured from this source tree, e.g. build/default build/win32).
set -euo pipefail
export LC_ALL=C.UTF-8
cd "$(dirname "$0")/.."
linux=$(realpath "$1")
win=$(realpath "$2")
tool=$linux/tool/pelmora
windows_tool=$win/tool/pelmora.exe
work=$win/wine-checks
rm -rf "$work"
mkdir -p "$work/linux" "$work/windows"

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

# The drawings: the example house, a terrain of 160 x 160 quads (25 600
# polygons), a drawing whose class and light names are not ASCII, with
# template files named in any case ("Möbel.qmt", "Dach.QMT"), and one in code
# page 932 (Shift-JIS names, templates named in Japanese), exported on a
# Japanese Windows: Wine in a Japanese locale, whose ANSI code page is 932.
cp examples/house.json "$work/house.json"
python3 windows/make_drawing.py 160 > "$work/terrain.json"
cp tests/data/names/names.json "$work/names.json"
cp tests/data/names932/names932.json "$work/names932.json"
drawings=(house terrain names names932)

failed=0
for name in "${drawings[@]}"; do
  templates=examples/host
  [ "$name" = names ] && templates=tests/data/names/host
  [ "$name" = names932 ] && templates=tests/data/names932/host
  prefix=$win/wine-prefix locale=C.UTF-8
  [ "$name" = names932 ] && prefix=$win/wine-prefix-ja locale=ja_JP.UTF-8
  for side in linux windows; do
    rm -rf "$work/$side/host-$name"
    cp -r "$templates" "$work/$side/host-$name"
    cp "$work/$name.json" "$work/$side/$name.json"
  done

  start=$(now)
  "$tool" export "$work/linux/$name.json" -o "$work/linux/$name.qmx" --host-dir "$work/linux/host-$name" \
    --mode 2 --force 2>"$work/linux/$name.log"
  "$tool" convert "$work/linux/$name.qmx" "$work/linux/$name-ascii.qmx" --ascii
  linux_time=$(seconds "$start" "$(now)")

  start=$(now)
  PELMORA_WINE_LOCALE=$locale windows/wine_run.sh "$prefix" "$windows_tool" export "$work/windows/$name.json" \
    -o "$work/windows/$name.qmx" --host-dir "$work/windows/host-$name" --mode 2 --force 2>"$work/windows/$name.log"
  PELMORA_WINE_LOCALE=$locale windows/wine_run.sh "$prefix" "$windows_tool" convert "$work/windows/$name.qmx" \
    "$work/windows/$name-ascii.qmx" --ascii
  windows_time=$(seconds "$start" "$(now)")

  size=$(stat -c %s "$work/linux/$name.qmx")
  if cmp -s "$work/linux/$name.qmx" "$work/windows/$name.qmx"; then
    echo "$name: BINARY identical ($size bytes; Linux ${linux_time} s, Wine ${windows_time} s with the ASCII conversion)"
  else
    echo "$name: BINARY files differ: $(cmp "$work/linux/$name.qmx" "$work/windows/$name.qmx" 2>&1 || true)" >&2
    failed=1
  fi
  lf=$(tr -cd '\n' <"$work/windows/$name-ascii.qmx" | wc -c)
  crlf=$(grep -c $'\r$' "$work/windows/$name-ascii.qmx" || true)
  tr -d '\r' <"$work/windows/$name-ascii.qmx" >"$work/windows/$name-ascii-lf.qmx"
  if [ "$lf" -eq "$crlf" ] && cmp -s "$work/linux/$name-ascii.qmx" "$work/windows/$name-ascii-lf.qmx"; then
    echo "$name: ASCII identical modulo CR LF ($(stat -c %s "$work/linux/$name-ascii.qmx") bytes on Linux, $lf lines, each ending in CR LF on Windows)"
  else
    echo "$name: ASCII conversions differ (lines $lf, of them ending in CR LF $crlf)" >&2
    failed=1
  fi
done
exit $failed
