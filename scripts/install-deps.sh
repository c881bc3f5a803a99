#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tool need (as root).
# Does nothing when they are all present already.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config python3
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libsimdjson-dev libcli11-dev libassimp-dev assimp-utils assimp-testmodels libmeshoptimizer-dev libtinyobjloader-dev libpng-dev
  clang libclang-rt-14-dev
  locales
  gcc-mingw-w64-i686 g++-mingw-w64-i686 binutils-mingw-w64-i686
)
# Wine runs the 32-bit Windows module and its test programs in CI; its 32-bit
# part needs the i386 architecture.
packages+=(wine wine32:i386)
# Node and npm run the glTF validator; a Node from elsewhere (it brings its
# own npm) is taken as it is.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# A comma-decimal locale, for the test that the ASCII encoding ignores the
# process locale.
locale_missing=0
locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' || locale_missing=1
# The Khronos glTF validator, from the npm registry at the version the lock
# file names, into tools/gltf-validate/node_modules (for the gltf_validator test).
install_validator() {
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
  echo "install-deps: installing needs root; missing: ${missing[*]}$([ $locale_missing -eq 1 ] && echo ' the de_DE.UTF-8 locale')" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
if [ $locale_missing -eq 1 ]; then
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen
fi
install_validator
