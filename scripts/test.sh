#!/usr/bin/env bash
# Sets up what is needed, builds both configurations and runs every test: the native ones
# (fake platform, ASan + UBSan) and the Windows ones under Wine (with a virtual X display).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh

export WINEDEBUG=-all
export WINEPREFIX="$PWD/build/windows/wineprefix"
# The first start of a prefix takes a while; do it once before the tests run in parallel.
wineboot -i >/dev/null 2>&1 || true

status=0
(cd build/native && ctest --output-on-failure -j2) || status=1
(cd build/fuzz && ctest --output-on-failure -j2) || status=1
(cd build/windows && xvfb-run -a ctest --output-on-failure -j2) || status=1
wineserver -k >/dev/null 2>&1 || true
exit $status
