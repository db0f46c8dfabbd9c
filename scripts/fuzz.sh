#!/usr/bin/env bash
# A longer fuzzing run of every target: scripts/fuzz.sh [SECONDS per target, default 600].
# Findings (crash-*, leak-*, timeout-*) are left in build/fuzz/tests/fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
scripts/install-deps.sh
cmake --preset fuzz -DPELKO_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz --timeout $((seconds + 120)) -V \
  | grep -E 'Test #|stat::number_of_executed_units|stat::new_units_added|ERROR|SUMMARY'
