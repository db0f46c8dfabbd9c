#!/usr/bin/env bash
# The packer's figures on two payloads of real Windows files: the reference payload (about 20 MB,
# scripts/reference-payload.sh) and every PE file of Debian's Wine package (about 640 MB in 694
# files). For each, pelko-pack pack as it runs (a part per processor, as far as the memory allows)
# against the same packer on one thread, measured in the same run, and against BASELINE_PACKER
# when given (a pelko-pack of another commit): wall time, peak resident memory as a multiple of
# the container, stored size, and the CPU time (user and system) beside the wall time.
#
# ROUNDS=N repeats each payload's runs N times, in alternation; ONE_THREAD=0 leaves out the runs on
# one thread; PACKER=... measures a packer built before (the packer preset's, say) instead of
# building the bench preset's.
#
#   scripts/bench-pack.sh                 BASELINE_PACKER=/tmp/old-pelko-pack scripts/bench-pack.sh
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -n "${PACKER:-}" ]; then
  packer=$(realpath "$PACKER")
else
  cmake --preset bench >/dev/null
  cmake --build --preset bench --target pelko-pack >/dev/null
  packer=$PWD/build/bench/tools/pelko-pack
fi
out=$PWD/build/bench-pack
mkdir -p "$out"
scripts/reference-payload.sh "$packer" build/reference >/dev/null
wine_dir=${PELKO_WINE_PE_DIR:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows}
(cd "$wine_dir" && LC_ALL=C ls -1) | while IFS= read -r name; do
  [ -f "$wine_dir/$name" ] && printf 'lib/%s\t%s\n' "$name" "$wine_dir/$name"
done > "$out/large.txt"

# measure LABEL PACKER MANIFEST [ARGS...]: one line of figures.
measure() {
  local label=$1 pack=$2 manifest=$3
  shift 3
  local stats container stored
  stats=$( { /usr/bin/time -f '%e %M %U %S' "$pack" pack "$manifest" "$out/payload.bin" "$@" >"$out/pack.out"; } 2>&1 | tail -1)
  container=$(sed -nE 's/.*container ([0-9]+) bytes.*/\1/p' "$out/pack.out")
  stored=$(stat -c %s "$out/payload.bin")
  awk -v l="$label" -v s="$stats" -v c="$container" -v b="$stored" 'BEGIN {
    split(s, f, " ")
    printf "%-34s %7.2f s (CPU %7.2f s)  peak %7.1f MB = %.2f x the container  stored %d bytes\n", l, f[1], f[3] + f[4], f[2] / 1000, f[2] * 1024 / c, b
  }'
}

for manifest in build/reference/manifest.txt "$out/large.txt"; do
  echo "== $(grep -c . "$manifest") files ($manifest)"
  for ((round = 0; round < ${ROUNDS:-1}; ++round)); do
    measure "pelko-pack" "$packer" "$manifest"
    if [ "${ONE_THREAD:-1}" = 1 ]; then
      measure "pelko-pack --threads 1 (baseline)" "$packer" "$manifest" --threads 1
    fi
    if [ -n "${BASELINE_PACKER:-}" ]; then measure "BASELINE_PACKER" "$BASELINE_PACKER" "$manifest"; fi
  done
done
