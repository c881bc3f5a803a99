#!/usr/bin/env bash
# Installs the Debian packages a task needs (as root); does nothing when they
# are all present already.
#
#   bash scripts/install-deps.sh [validator] [bench] [windows] [fuzz] [viewers]
#
# Without an argument: what the build and the demo (scripts/demo.sh) need, and
# nothing more, so that a first run on a fresh machine is quick. The other
# parts are installed by the scripts that use them: the glTF validator the
# tests run (validator: scripts/test.sh), the comparisons of the bench programs
# (bench: bench/e2e.sh), the Windows build with Wine (windows:
# scripts/test-windows.sh) and the fuzz targets (fuzz: .ci/run). The viewers
# the README's pictures come from (viewers: f3d under a virtual display, and
# Blender, which the conversion test reads the FBX back with when present)
# are installed only when asked for.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config python3
  libgtest-dev libgmock-dev
  nlohmann-json3-dev libsimdjson-dev libcli11-dev libassimp-dev assimp-testmodels libpng-dev libjpeg-dev libembree-dev
  libstb-dev libxml2-dev zlib1g-dev
  locales
)
needs_i386=0 with_validator=0
locales_needed=(de_DE)
for part in "$@"; do
  case $part in
    # The comparisons the bench programs make: Google Benchmark, meshoptimizer,
    # tinyobjloader, and the assimp command.
    bench) packages+=(libbenchmark-dev libmeshoptimizer-dev libtinyobjloader-dev assimp-utils) ;;
    # The 32-bit Windows build and Wine, which runs its tests; Wine's 32-bit
    # part needs the i386 architecture.
    windows)
      packages+=(gcc-mingw-w64-i686 g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386)
      needs_i386=1
      # Wine in a Japanese locale is a Windows whose ANSI code page is 932.
      locales_needed+=(ja_JP)
      ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    viewers) packages+=(f3d xvfb xauth blender) ;;
    # Node and npm, which run the glTF validator of the gltf_validator test
    # (the test is skipped without them); a Node from elsewhere (it brings its
    # own npm) is taken as it is.
    validator)
      command -v node >/dev/null 2>&1 || packages+=(nodejs)
      command -v npm >/dev/null 2>&1 || packages+=(npm)
      with_validator=1
      ;;
    *)
      echo "install-deps: unknown part $part (validator, bench, windows, fuzz or viewers)" >&2
      exit 2
      ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# A comma-decimal locale, for the test that the ASCII encoding ignores the
# process locale (and the others the parts above asked for).
locale_missing=0
for name in "${locales_needed[@]}"; do
  locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8$" || locale_missing=1
done
# The Khronos glTF validator, from the npm registry at the version the lock
# file names, into tools/gltf-validate/node_modules (for the gltf_validator test).
install_validator() {
  [ $with_validator -eq 1 ] || return 0
  local folder
  folder="$(cd "$(dirname "$0")/.." && pwd)/tools/gltf-validate"
  if [ ! -d "$folder/node_modules/gltf-validator" ]; then
    (cd "$folder" && npm ci --no-audit --no-fund)
  fi
}
if [ ${#missing[@]} -eq 0 ] && [ $locale_missing -eq 0 ]; then
  install_validator
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: installing needs root; missing: ${missing[*]}$([ $locale_missing -eq 1 ] && echo " the locales ${locales_needed[*]} (UTF-8)")" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  if [ $needs_i386 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
if [ $locale_missing -eq 1 ]; then
  for name in "${locales_needed[@]}"; do
    grep -q "^$name.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null || echo "$name.UTF-8 UTF-8" >> /etc/locale.gen
  done
  locale-gen
fi
install_validator
