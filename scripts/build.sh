#!/usr/bin/env bash
# Configures and builds both builds: build/native (tests under ASan + UBSan, tools) and
# build/windows (pelko-setup.exe and the Windows tests). Extra arguments go to both configures.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELKO_SANITIZE=ON "$@" >/dev/null
cmake --build build/native
cmake -S . -B build/windows -G Ninja --toolchain cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build build/windows
