#!/usr/bin/env bash
# Makes the reference payload of the benchmarks: about 20 MB of real Windows executables (the
# PE files of Debian's Wine package) and a licence text, packed by the project's packer.
#
#   scripts/reference-payload.sh PACKER [OUT_DIR]      (OUT_DIR defaults to build/reference)
#
# Writes OUT_DIR/manifest.txt and OUT_DIR/payload.bin. The files are picked by a fixed rule from
# the sorted list of names, so every run on the same Wine package gives the same payload: the
# .dll and .exe files of 1 to 8 MiB, in name order, while their total stays below 20,000,000
# bytes; the first three go to the top level, the others to lib/, and the licence to
# licenses/GPL-3.txt. Nothing is packed again when neither the manifest nor the packer has
# changed.
set -euo pipefail
cd "$(dirname "$0")/.."

packer=${1:?usage: scripts/reference-payload.sh PACKER [OUT_DIR]}
out=${2:-build/reference}
wine_dir=${PELKO_WINE_PE_DIR:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows}
licence=/usr/share/common-licenses/GPL-3
limit=20000000

[ -d "$wine_dir" ] || { echo "no Wine PE files in $wine_dir (apt-get install wine64)" >&2; exit 1; }
[ -f "$licence" ] || { echo "no licence text at $licence" >&2; exit 1; }
mkdir -p "$out"

manifest=$(
  total=0 count=0
  while IFS= read -r name; do
    size=$(stat -c %s "$wine_dir/$name")
    [ "$size" -ge 1048576 ] && [ "$size" -le 8388608 ] || continue
    [ $((total + size)) -lt $limit ] || continue
    total=$((total + size))
    if [ $count -lt 3 ]; then printf '%s\t%s\n' "$name" "$wine_dir/$name"
    else printf 'lib/%s\t%s\n' "$name" "$wine_dir/$name"; fi
    count=$((count + 1))
  done < <(cd "$wine_dir" && LC_ALL=C ls -1 | grep -E '\.(dll|exe)$')
  printf 'licenses/GPL-3.txt\t%s\n' "$licence"
)

packer_id=$(sha256sum < "$packer")
if [ -f "$out/payload.bin" ] && [ -f "$out/manifest.txt" ] &&
   [ "$manifest" = "$(cat "$out/manifest.txt")" ] &&
   [ "$packer_id" = "$(cat "$out/packer.sha256" 2>/dev/null)" ]; then
  echo "reference payload up to date: $out/payload.bin"
  exit 0
fi
printf '%s\n' "$manifest" > "$out/manifest.txt"
"$packer" pack "$out/manifest.txt" "$out/payload.bin"
printf '%s\n' "$packer_id" > "$out/packer.sha256"
