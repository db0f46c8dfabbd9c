#!/usr/bin/env bash
# Sets up what is needed, then builds and tests each configuration of CMakePresets.json through
# its workflow: native (fake platform, ASan + UBSan), tsan (the native tests that start threads,
# under ThreadSanitizer), packer (the Release packer release engineers build, with its round
# trip), fuzz (each target briefly), and windows (the Win32 layer and the built installer under
# Wine, with a virtual X display).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

export WINEDEBUG=-all
export WINEPREFIX="$PWD/build/windows/wineprefix"

status=0
cmake --workflow --preset native || status=1
cmake --workflow --preset tsan || status=1
# The windows build takes this packer (and make-test-payload beside it) as its host packer
# instead of building the same tools again; when the packer's build failed, it builds its own.
if cmake --workflow --preset packer; then
  export PELKO_PACKER="$PWD/build/packer/tools/pelko-pack"
else
  status=1
fi
cmake --workflow --preset fuzz || status=1
xvfb-run -a cmake --workflow --preset windows || status=1
wineserver -k >/dev/null 2>&1 || true
exit $status
