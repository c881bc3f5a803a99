#!/usr/bin/env bash
# End to end from a shell: `pelmora export` of the reference terrain as an OBJ
# file against `assimp export` of the same file to binary PLY with joined
# vertices. Prints the median wall time of each and their ratio (goal <= 0.5).
#
#   bash bench/e2e.sh [BUILD_DIR] [ROUNDS]
#
# BUILD_DIR defaults to build/default and must hold tool/pelmora, the plug-in
# module and bench/bench_scene (which writes the OBJ file). Uses hyperfine
# when it is installed, otherwise times each run with `date +%s%N`.
set -euo pipefail

build=${1:-build/default}
rounds=${2:-5}
tool="$build/tool/pelmora"
generator="$build/bench/bench_scene"
for needed in "$tool" "$generator"; do
  [[ -x "$needed" ]] || { echo "e2e: $needed is missing; build the tool and bench_scene first" >&2; exit 2; }
done
command -v assimp >/dev/null || bash "$(dirname "$0")/../scripts/install-deps.sh" bench

work=$(mktemp -d /tmp/pelmora_e2e_XXXXXX)
trap 'rm -rf "$work"' EXIT
"$generator" --obj "$work/terrain.obj"
mkdir -p "$work/host/Pelmora"
echo "OBJ: $(stat -c %s "$work/terrain.obj") bytes"

pelmora_cmd="'$tool' export '$work/terrain.obj' -o '$work/terrain.qmx' --mode 2 --force --host-dir '$work/host'"
assimp_cmd="assimp export '$work/terrain.obj' '$work/terrain.ply' -fplyb -jiv"

median_of() {  # median of the numbers on stdin
  sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

time_runs() {  # seconds of each of $rounds runs of the command, one a line
  local command=$1
  for ((i = 0; i < rounds; i++)); do
    local start end
    start=$(date +%s%N)
    bash -c "$command" >/dev/null 2>&1 </dev/null || { echo "e2e: failed: $command" >&2; exit 1; }
    end=$(date +%s%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f\n", (e - s) / 1e9 }'
  done
}

if command -v hyperfine >/dev/null; then
  hyperfine --warmup 1 --runs "$rounds" --export-json "$work/times.json" "$pelmora_cmd" "$assimp_cmd"
  read -r pelmora_s assimp_s < <(python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"]; print(r[0]["median"], r[1]["median"])' "$work/times.json")
else
  bash -c "$pelmora_cmd" >/dev/null 2>&1 && bash -c "$assimp_cmd" >/dev/null 2>&1  # warm the page cache
  pelmora_s=$(time_runs "$pelmora_cmd" | median_of)
  assimp_s=$(time_runs "$assimp_cmd" | median_of)
fi

echo "pelmora export:        median $pelmora_s s of $rounds"
echo "assimp export -jiv:    median $assimp_s s of $rounds"
awk -v p="$pelmora_s" -v a="$assimp_s" 'BEGIN { r = p / a; printf "ratio pelmora / assimp: %.2f (goal <= 0.50) %s\n", r, (r <= 0.5 ? "met" : "MISSED") }'
