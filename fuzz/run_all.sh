#!/usr/bin/env bash
# Runs every built libFuzzer target for SECONDS seconds on a copy of its seed
# corpus (the corpus in the repository is never changed). Builds nothing.
# Usage: fuzz/run_all.sh SECONDS [BUILD_DIR]   (BUILD_DIR defaults to build/fuzz)
# A finding leaves its reproducer in the work folder named in the output and
# makes the script exit non-zero.
set -euo pipefail

seconds="${1:?usage: $0 SECONDS [BUILD_DIR]}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${2:-${PELMORA_FUZZ_BUILD:-$here/../build/fuzz}}"
work="$(mktemp -d "${TMPDIR:-/tmp}/pelmora-fuzz.XXXXXX")"

status=0
ran=0
for corpus in "$here"/corpus/*/; do
  name="$(basename "$corpus")"
  target="$build/fuzz/fuzz_$name"
  if [[ ! -x "$target" ]]; then
    echo "run_all: $target is not built (configure with the fuzz preset and build it)" >&2
    status=1
    continue
  fi
  mkdir -p "$work/$name/corpus" "$work/$name/artifacts"
  cp -R "$corpus". "$work/$name/corpus/"
  dict=()
  if [[ -f "$here/$name.dict" ]]; then dict=(-dict="$here/$name.dict"); fi
  echo "== $name: ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 -print_final_stats=1 "${dict[@]}" \
      -artifact_prefix="$work/$name/artifacts/" "$work/$name/corpus"; then
    echo "run_all: $name found a failure; reproducers in $work/$name/artifacts/" >&2
    status=1
  fi
  ran=$((ran + 1))
done

if [[ $ran -eq 0 ]]; then
  echo "run_all: no fuzz target ran" >&2
  status=1
fi
if [[ $status -eq 0 ]]; then rm -rf "$work"; fi
exit $status
