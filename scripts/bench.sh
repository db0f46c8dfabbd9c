#!/usr/bin/env bash
# The benchmarks, printed as ratios against baselines measured in the same run:
#   1. native (build/bench, Release): the payload steps on the reference payload: inflate+read
#      against a bare zlib inflate, the packed size against zlib level 9, the peak heap of
#      inflate+read+install against the inflated size;
#   2. under Wine (build/bench-windows), for payloads of real Windows binaries of about 22 MB (the
#      reference payload), 40, 160 and 600 MB (the PE files of Debian's Wine package, in name
#      order): pelko-setup.exe's time from its start line to its success line against the bare
#      baseline (baseline_install: one thread, zlib inflate into one buffer, plain
#      CreateFileW/WriteFile, nothing else), its throughput, its peak working set and peak private
#      memory against the files; and, for 22, 160 and 600 MB, every phase of a first install
#      (timed by phase_setup.exe, the same run with a clock) as its share of the run and against
#      its floor measured in the same round: inflating the same stream with nothing written (in
#      pieces on every processor, and on one thread), and writing the same files from memory with
#      nothing inflated; and the same clocked run told of one processor (PELKO_ONE_PROCESSOR), so
#      that the files are installed one at a time, against staging ahead. Each figure is the
#      median of RUNS alternated rounds (after one warm-up round);
#   3. the cost of a file (SIZES word `files`): 20,000 generated files of 1-4 KiB in 200 folders
#      (about 50 MB, text-like; build/reference/files, made once), the same figures and phases,
#      and in the same rounds the floors of writing those files from memory (file_floor.exe):
#      create-write-close of every file on one thread and on every processor, and the same with
#      each file written as its staging file and moved over its name.
#
#   scripts/bench.sh                 RUNS=9 SIZES="reference 600" scripts/bench.sh
#   SIZES=files RUNS=3 scripts/bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${RUNS:-5}
sizes=${SIZES:-reference 40 160 600}

echo "== building (build/bench, build/bench-windows)"
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
packer=$root/build/bench/tools/pelko-pack
scripts/reference-payload.sh "$packer" build/reference >/dev/null

echo
echo "== payload steps (native)"
build/bench/benchmarks/payload_benchmark "$root/build/reference/payload.bin" \
  --benchmark_color=false 2>&1 | grep -E '_median|^reference|^time|^size|^memory'

# A payload of the Wine package's PE files in name order, up to about LIMIT megabytes, packed
# again only when its manifest or the packer changed.
wine_dir=${PELKO_WINE_PE_DIR:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows}
pe_payload() {
  local limit=$(($1 * 1000000)) out=$root/build/reference/pe-$1 total=0 name size
  mkdir -p "$out"
  while IFS= read -r name; do
    size=$(stat -c %s "$wine_dir/$name")
    [ $((total + size)) -le $limit ] || break
    total=$((total + size))
    printf 'lib/%s\t%s\n' "$name" "$wine_dir/$name"
  done < <(cd "$wine_dir" && LC_ALL=C ls -1 | grep -E '\.(dll|exe)$') > "$out/manifest.new"
  local id
  id=$( (cat "$out/manifest.new"; sha256sum < "$packer") | sha256sum | cut -d' ' -f1)
  if [ ! -f "$out/payload.bin" ] || [ "$(cat "$out/id" 2>/dev/null)" != "$id" ]; then
    mv "$out/manifest.new" "$out/manifest.txt"
    "$packer" pack "$out/manifest.txt" "$out/payload.bin" >/dev/null
    echo "$id" > "$out/id"
  fi
  # The list file_floor.exe reads: each file's name and size.
  local path
  while IFS=$'\t' read -r name path; do
    printf '%s %s\n' "$name" "$(stat -c %s "$path")"
  done < "$out/manifest.txt" > "$out/list.txt"
  echo "$out/payload.bin"
}

# The payload of many small files: 20,000 files of 1 to 4 KiB, 100 in each of 200 folders, their
# text made by a fixed seed; made and packed once. Also writes the list file_floor.exe reads.
files_payload() {
  local out=$root/build/reference/files
  if [ ! -f "$out/payload.bin" ] || [ "$out/payload.bin" -ot "$packer" ]; then
    rm -rf "$out" && mkdir -p "$out/src"
    python3 - "$out" <<'PY'
import os, random, sys
out = sys.argv[1]
rng = random.Random(26)
words = [w for w in open("/usr/share/common-licenses/GPL-3").read().split() if w.isalpha()]
exts = ["py", "js", "json", "txt", "pyi", "css"]
with open(f"{out}/manifest.txt", "w") as manifest, open(f"{out}/list.txt", "w") as listing:
    for i in range(20000):
        name = f"pkg{i // 100:03d}/mod{i:05d}.{exts[i % len(exts)]}"
        size = rng.randint(1024, 4096)
        text = []
        while sum(map(len, text)) < size:
            text.append(" ".join(rng.choice(words) for _ in range(rng.randint(3, 12))) + "\n")
        data = "".join(text)[:size]
        os.makedirs(f"{out}/src/pkg{i // 100:03d}", exist_ok=True)
        with open(f"{out}/src/{name}", "w") as f:
            f.write(data)
        manifest.write(f"{name}\t{out}/src/{name}\n")
        listing.write(f"{name} {size}\n")
PY
    "$packer" pack "$out/manifest.txt" "$out/payload.bin" >/dev/null
  fi
  echo "$out/payload.bin"
}

bw=$root/build/bench-windows
export WINEDEBUG=-all WINEPREFIX=$bw/wineprefix
# No host menu entry for the shortcut. Wine still starts winemenubuilder.exe from the shortcut's
# save; the override only makes it do nothing.
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# Wine says this of Z: (the host's root) whenever the Shell link asks for its volume.
not_volume_noise() { grep -v 'FS volume label and serial are not available' >&2 || true; }
log_span() {
  local start end
  start=$(grep -m1 ' setup v' "$1" | cut -d' ' -f1)
  end=$(grep -m1 ' installed in ' "$1" | cut -d' ' -f1)
  echo $((end - start))
}

summary=()
for label in $sizes; do
  if [ "$label" = reference ]; then payload=$root/build/reference/payload.bin
  elif [ "$label" = files ]; then payload=$(files_payload)
  else payload=$(pe_payload "$label"); fi
  container=$("$packer" list "$payload" | sed -nE 's/.* entries, .*container ([0-9]+) bytes.*/\1/p')
  files=$("$packer" list "$payload" | sed -nE 's/.* entries, ([0-9]+) bytes of file data.*/\1/p')
  cmake --preset bench-windows -DPELKO_PAYLOAD="$payload" >/dev/null
  cmake --build --preset bench-windows >/dev/null
  cmake --build "$bw" --target file_floor >/dev/null
  wineboot -i >/dev/null 2>&1 || true
  scratch=$bw/bench-scratch
  rounds=$bw/rounds-$label
  rm -rf "$rounds" && mkdir -p "$rounds"
  echo
  echo "== $label: $(awk -v c="$container" 'BEGIN {printf "%.1f", c / 1e6}') MB under Wine," \
       "$runs rounds (pelko-setup.exe, phase_setup.exe, baseline_install.exe in turn)"
  setup=$(winpath "$bw/pelko-setup.exe") phases=$(winpath "$bw/benchmarks/phase_setup.exe")
  for run in $(seq 0 "$runs"); do  # round 0 warms the caches and is not counted
    rm -rf "$scratch" && mkdir -p "$scratch/local" "$scratch/clocked"
    # Each program starts with no dirty page of another's files left to write back (sync):
    # otherwise the kernel's writeback of 600 MB makes whoever comes next pay for it.
    # Update mode: these payloads carry no guard, so the final start fails after the success
    # line; in update mode that shows no box and only sets the exit code.
    sync
    wine "$bw/tests/pelko-launch.exe" --set "LOCALAPPDATA=$(winpath "$scratch/local")" \
      --memory "$(winpath "$scratch/peak.txt")" --timeout 300 --cmdline "\"$setup\" --update" \
      "$setup" 2> >(not_volume_noise) || true
    sync
    wine "$bw/tests/pelko-launch.exe" --set "LOCALAPPDATA=$(winpath "$scratch/clocked")" \
      --set "PELKO_PHASES=$(winpath "$scratch/phases.txt")" --timeout 300 \
      --cmdline "\"$phases\" --update" "$phases" 2> >(not_volume_noise) || true
    rm -rf "$scratch/clocked/Programs"
    sync
    # The same clocked run told of one processor: the files one at a time, as before staging
    # ahead (the payload still inflated on every processor).
    wine "$bw/tests/pelko-launch.exe" --set "LOCALAPPDATA=$(winpath "$scratch/clocked")" \
      --set "PELKO_PHASES=$(winpath "$scratch/phases1.txt")" --set PELKO_ONE_PROCESSOR=1 \
      --timeout 300 --cmdline "\"$phases\" --update" "$phases" 2> >(not_volume_noise) || true
    rm -rf "$scratch/clocked/Programs"
    sync
    wine "$bw/benchmarks/baseline_install.exe" "$container" "$(winpath "$scratch/base")" |
      tr -d '\r' > "$scratch/baseline.txt"
    # The floor of inflating in pieces, in a process of its own (no other buffer beside it).
    wine "$bw/benchmarks/baseline_install.exe" --pieces "$container" | tr -d '\r' \
      >> "$scratch/baseline.txt" || true
    # The floors of writing the files from memory, for the many small files and the 160 and
    # 600 MB of binaries.
    case $label in files) list=$root/build/reference/files/list.txt ;;
      160|600) list=$root/build/reference/pe-$label/list.txt ;; *) list= ;; esac
    if [ -n "$list" ]; then
      for way in write write-all rename rename-all; do
        rm -rf "$scratch/floor" && sync
        wine "$bw/benchmarks/file_floor.exe" "$way" \
          "$(winpath "$list")" "$(winpath "$scratch/floor")" |
          tr -d '\r' >> "$scratch/baseline.txt"
      done
    fi
    diff -r "$scratch/local/Programs/Pelko" "$scratch/base" >/dev/null ||
      { echo "the installer and the baseline wrote different files" >&2; exit 1; }
    [ "$run" = 0 ] && continue
    { echo "span $(log_span "$scratch/local/Pelko/logs/setup.log")"
      read -r ws private < "$scratch/peak.txt"; echo "working_set $ws"; echo "private $private"
      cat "$scratch/baseline.txt"; } > "$rounds/$run.txt"
    cp "$scratch/phases.txt" "$rounds/$run.phases"
    cp "$scratch/phases1.txt" "$rounds/$run.phases1"
  done
  wineserver -k >/dev/null 2>&1 || true
  summary+=("$(python3 - "$rounds" "$label" "$container" "$files" <<'EOF'
import glob, os, statistics, sys
rounds, label, container, files = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
median = statistics.median

def figures(path):
    return {k: float(v) for k, v in (line.split() for line in open(path) if line.strip())}

def phases(path):
    # The phases of one run of phase_setup.exe, in milliseconds, from its marks.
    marks = []
    for line in open(path):
        words = line.split()
        marks.append((words[0], int(words[1]), words[2] if len(words) > 2 else ""))
    first = {}
    for name, at, _ in marks:
        first.setdefault(name, at)
    ms = lambda us: us / 1000.0
    p = {"image load to wWinMain": ms(first["entered"]),
         "wWinMain to start line": ms(first["start_line"] - first["entered"])}
    p["mutex, environment"] = ms(first["checking"] - first["start_line"])
    p["CRC-32"] = ms(first["inflating"] - first["checking"])
    if "inflated" in first:
        p["inflate (pieces, all)"] = ms(first["inflated"] - first["inflating"])
        p["read the entries"] = ms(first["read"] - first["inflated"])
        # Each piece, from the end of its thread's last piece (or the start) to its own end.
        last, pieces = {}, []
        for name, at, thread in marks:
            if name == "piece_done":
                pieces.append(ms(at - last.get(thread, first["inflating"])))
                last[thread] = at
        p["  one piece, shortest"] = min(pieces)
        p["  one piece, longest"] = max(pieces)
    else:
        p["inflate + read (one pass)"] = ms(first["read"] - first["inflating"])
    p["stop running copies"] = ms(first["stopped"] - first["read"])
    # Each thread's staging (entry_begins to staged, summed over the threads) and moves
    # (moving, or else the thread's previous mark, to moved); the files from the first entry to
    # the last move.
    staging = moves = 0
    begun, previous, threads = {}, {}, set()
    for name, at, thread in marks:
        if name == "entry_begins": begun[thread] = at; threads.add(thread)
        elif name == "staged": staging += at - begun[thread]
        elif name == "moved": moves += at - previous[thread]; moved = at
        if name in ("entry_begins", "staged", "moving", "moved"): previous[thread] = at
    p["files, first entry to last move"] = ms(moved - first["entry_begins"])
    p["  directories + staging files"] = ms(staging)
    p["  moves"] = ms(moves)
    p["  threads staging"] = len(threads)
    p["uninstall entry"] = ms(first["registered"] - moved)
    p["shortcut"] = ms(first["shortcut"] - first["registered"])
    p["success line"] = ms(first["success_line"] - first["shortcut"])
    p["start line to success line"] = ms(first["success_line"] - first["start_line"])
    return p

runs = [figures(f) for f in sorted(glob.glob(os.path.join(rounds, "*.txt")))]
clocked = [phases(f) for f in sorted(glob.glob(os.path.join(rounds, "*.phases")))]
one_at_a_time = [phases(f) for f in sorted(glob.glob(os.path.join(rounds, "*.phases1")))]
get = lambda key: median(r[key] for r in runs if key in r) if any(key in r for r in runs) else None
span, base = get("span"), get("baseline_ms")
ratios = median(r["span"] / r["baseline_ms"] for r in runs)
mb = container / 1e6
print(f"{label:>9}: {mb:7.1f} MB  start-to-success {span:7.1f} ms = {ratios:.3f} x the baseline "
      f"({base:.1f} ms; ratio of medians {span / base:.3f})  {mb / (span / 1000):6.0f} MB/s  "
      f"peak private {get('private') / files:.2f} x the files, working set "
      f"{get('working_set') / files:.2f} x")
if label in ("reference", "160", "600", "files"):
    floors = {"inflate, one thread": get("inflate_ms"), "inflate, pieces": get("pieces_ms"),
              "write from memory": get("write_ms")}
    file_floors = {way: get(f"files_{way}_ms")
                   for way in ("write", "write_all", "rename", "rename_all")}
    whole = median(c["start line to success line"] for c in clocked)
    sys.stderr.write(f"\n   phases of a first install, {label} ({mb:.1f} MB), median of "
                     f"{len(clocked)} runs of phase_setup.exe; floors of the same rounds:\n")
    for name in clocked[0]:
        value = median(c[name] for c in clocked if name in c)
        line = f"   {name:30} {value:8.1f} ms"
        if not name.startswith("image") and not name.startswith("wWinMain") \
                and not name.startswith("  "):
            line += f"  {100 * value / whole:5.1f} %"
        if name.startswith("inflate") and floors["inflate, pieces"]:
            line += (f"  {value / floors['inflate, pieces']:.2f} x the pieces floor "
                     f"({floors['inflate, pieces']:.1f} ms), "
                     f"{value / floors['inflate, one thread']:.2f} x one thread "
                     f"({floors['inflate, one thread']:.1f} ms)")
        if name == "files, first entry to last move":
            floor = floors["write from memory"]
            line += f"  {value / floor:.2f} x the write floor of baseline_install ({floor:.1f} ms)"
        if name == "  threads staging":
            line = f"   {name:30} {value:8.0f}"
        sys.stderr.write(line + "\n")
    # Staging ahead against one entry at a time, in the same rounds (phase_setup.exe both).
    both = list(zip(clocked, one_at_a_time))
    for name in ("start line to success line", "files, first entry to last move"):
        ahead = median(c[name] for c, _ in both)
        alone = median(o[name] for _, o in both)
        sys.stderr.write(f"   {name}: staged ahead {ahead:.1f} ms, one at a time {alone:.1f} ms "
                         f"(ratio of rounds {median(c[name] / o[name] for c, o in both):.3f})\n")
    if file_floors["write"] is not None:
        sys.stderr.write("   floors of the same files from memory (file_floor.exe), and the files"
                         " phase against them:\n")
        files = median(c["files, first entry to last move"] for c in clocked)
        for way, value in file_floors.items():
            sys.stderr.write(f"   {way:30} {value:8.1f} ms  files phase {files / value:.2f} x, "
                             f"start-to-success {span / value:.2f} x\n")
        faster = min(file_floors["rename"], file_floors["rename_all"])
        sys.stderr.write(f"   the faster floor with the rename {faster:.1f} ms: start-to-success "
                         f"{span / faster:.2f} x (goal <= 1.2 x for the small files), files "
                         f"phase {files / faster:.2f} x\n")
EOF
)")
done

echo
echo "== summary (goals: 22 MB <= 1.1 x the baseline, 600 MB <= 0.5 x, >= 300 MB/s from 40 MB on," \
     "peak private <= 1.05 x the files at 600 MB)"
printf '%s\n' "${summary[@]}"
