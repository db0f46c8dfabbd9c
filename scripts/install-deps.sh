#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and fetches the sources the MinGW
# build compiles (libdeflate, through apt-get source) into the dependency cache; does nothing
# when all are there.
#
# The cache is $PELKO_DEPS_DIR, else ${XDG_CACHE_HOME:-$HOME/.cache}/pelko-setup: outside any
# build folder, so that configuring a new one needs no network (cmake/libdeflate.cmake looks
# there the same way).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ python3 libgtest-dev libbenchmark-dev zlib1g-dev libdeflate-dev
  nlohmann-json3-dev libssl-dev unicode-data
  g++-mingw-w64-x86-64-posix mingw-w64 libz-mingw-w64-dev
  wine wine64 xvfb xauth liblnk-utils
  clang-16 libclang-rt-16-dev osslsigncode openssl
)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

# libdeflate for the MinGW build: the orig tarball of Debian's source package, of the release and
# with the SHA-256 that cmake/libdeflate.cmake pins.
deps=${PELKO_DEPS_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/pelko-setup}
version=$(sed -nE 's/^set\(libdeflate_version ([^)]+)\)$/\1/p' cmake/libdeflate.cmake)
sha256=$(sed -nE 's/^set\(libdeflate_sha256 ([0-9a-f]{64})\)$/\1/p' cmake/libdeflate.cmake)
tarball=libdeflate_${version}.orig.tar.gz
if [ -f "$deps/$tarball" ] && echo "$sha256  $deps/$tarball" | sha256sum -c --status; then
  exit 0
fi

echo "fetching Debian's source package libdeflate ($tarball) with apt-get source"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sources" "$work/lists/partial" "$work/download"
# Source entries for the same archives as the machine's own package entries (deb822 files and
# one-line lists alike), with an index of their own: the machine's apt setup stays as it is.
shopt -s nullglob
for file in /etc/apt/sources.list.d/*.sources; do
  sed -E 's/^Types:.*/Types: deb-src/' "$file" > "$work/sources/$(basename "$file")"
done
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$file" ] && sed -nE 's/^deb(\s)/deb-src\1/p' "$file" > "$work/sources/$(basename "$file")"
done
apt_options=(
  -o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/sources"
  -o "Dir::State::Lists=$work/lists" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
)
# apt, as root, downloads as its own user.
if [ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1; then
  chmod 755 "$work"
  chown -R _apt "$work/lists" "$work/download"
fi
apt-get "${apt_options[@]}" -qq update ||
  echo "apt-get update of the source entries reported trouble; trying apt-get source all the same"
(cd "$work/download" && apt-get "${apt_options[@]}" -qq source --download-only libdeflate)
if [ ! -f "$work/download/$tarball" ]; then
  echo "Debian's source package libdeflate here is not release $version:" \
    "$(cd "$work/download" && ls)" >&2
  exit 1
fi
if ! echo "$sha256  $work/download/$tarball" | sha256sum -c --status; then
  echo "$tarball from apt-get source does not have the pinned SHA-256 $sha256" >&2
  exit 1
fi
mkdir -p "$deps"
cp "$work/download/$tarball" "$deps/$tarball.partial"
mv "$deps/$tarball.partial" "$deps/$tarball"
echo "libdeflate $version source: $deps/$tarball"
