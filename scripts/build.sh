#!/usr/bin/env bash
# Configures and builds the three builds: build/native (tests under ASan + UBSan, tools),
# build/windows (pelko-setup.exe and the Windows tests) and build/fuzz (libFuzzer targets, clang).
# Extra arguments go to the native and windows configures.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELKO_SANITIZE=ON "$@" >/dev/null
cmake --build build/native
cmake -S . -B build/windows -G Ninja --toolchain cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build build/windows
CC=clang-16 CXX=clang++-16 cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELKO_FUZZ=ON >/dev/null
cmake --build build/fuzz
