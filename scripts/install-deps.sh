#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tool need (as root).
# Does nothing when they are all present already.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config python3
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev libassimp-dev assimp-utils assimp-testmodels libmeshoptimizer-dev
  clang libclang-rt-14-dev
  gcc-mingw-w64-i686 g++-mingw-w64-i686 binutils-mingw-w64-i686
)
# Wine runs the 32-bit Windows module and its test programs in CI; its 32-bit
# part needs the i386 architecture.
packages+=(wine wine32:i386)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: these packages are missing and installing them needs root: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
