#!/usr/bin/env bash
# Configures and builds the three builds of CMakePresets.json: build/native (tests under ASan +
# UBSan, tools), build/windows (pelko-setup.exe and the Windows tests) and build/fuzz (libFuzzer
# targets, clang). Extra arguments go to the native and windows configures.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in native windows fuzz; do
  extra=("$@")
  [ "$preset" != fuzz ] || extra=()
  cmake --preset "$preset" "${extra[@]}" >/dev/null
  cmake --build --preset "$preset"
done
