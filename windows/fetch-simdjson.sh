#!/usr/bin/env bash
# fetch-simdjson.sh DEST: puts the sources of Debian's simdjson (the version
# installed as libsimdjson-dev, whose header the Linux build uses) into DEST,
# for the Windows cross build of the emulated host: Debian ships the library
# for Linux only, and its source package holds the single-file build
# (singleheader/simdjson.cpp) that the cross compiler needs.
#
# The source index is read from a private apt configuration, so that the
# machine's own package sources are left as they are. apt checks the download
# against Debian's signed index. Nothing is done when DEST holds it already.
set -euo pipefail
dest=${1:?usage: fetch-simdjson.sh DEST}
if [ -f "$dest/singleheader/simdjson.cpp" ]; then
  exit 0
fi
version=$(dpkg-query -W -f='${Version}' libsimdjson-dev 2>/dev/null || true)
if [ -z "$version" ]; then
  echo "fetch-simdjson: libsimdjson-dev is not installed (run scripts/install-deps.sh first)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/download"
# The same archive the machine installs its packages from (a mirror or proxy
# included), for the release it runs.
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
archive=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 2>/dev/null \
  | awk -v r="$codename" '$2 == r { print $1; exit }')
archive=${archive:-http://deb.debian.org/debian/}
cat > "$work/sources.list" <<LIST
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $archive $codename main
LIST
apt_options=(-o "Dir::Etc::sourcelist=$work/sources.list" -o "Dir::Etc::sourceparts=-"
             -o "Dir::State::Lists=$work/lists" -o "APT::Get::List-Cleanup=0")
if ! apt-get "${apt_options[@]}" -q update >"$work/update.log" 2>&1; then
  cat "$work/update.log" >&2
  echo "fetch-simdjson: could not read Debian's source index (network?)" >&2
  exit 1
fi
( cd "$work/download" && apt-get "${apt_options[@]}" -q source --download-only "simdjson=$version" ) \
  >"$work/source.log" 2>&1 || { cat "$work/source.log" >&2; echo "fetch-simdjson: could not download simdjson $version's sources" >&2; exit 1; }
orig=$(ls "$work"/download/simdjson_*.orig.tar.* | head -n 1)
rm -rf "$dest.partial"
mkdir -p "$dest.partial"
tar -xf "$orig" -C "$dest.partial" --strip-components=1
rm -rf "$dest"
mv "$dest.partial" "$dest"
echo "fetch-simdjson: simdjson $version sources in $dest"
