#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing when all are present.
set -euo pipefail

packages=(
  cmake ninja-build g++ python3 libgtest-dev libbenchmark-dev zlib1g-dev libdeflate-dev
  nlohmann-json3-dev libssl-dev unicode-data
  g++-mingw-w64-x86-64-posix mingw-w64 libz-mingw-w64-dev
  wine wine64 xvfb xauth liblnk-utils
  clang-16 libclang-rt-16-dev osslsigncode openssl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
