#!/usr/bin/env bash
# Times palette-balance on indexed PNGs:
# - 1,000 pictures of 256x256 balanced in one run with --out-dir, in a shell
#   loop that starts the tool once per file, and copied with cp (one cp of
#   them all, and one cp per file in a loop), each per file; then the run
#   with --out-dir against cp -r of the folder, medians of 5 (at most 3 times);
# - one 4096x4096 picture against a plain cp of the same file and against cp
#   followed by a flush to the disk (the tool flushes each output before
#   renaming it), medians of 5 runs, with the peak resident memory of each.
# Only the palette is touched, so the large picture should take under twice
# the copy.
#   bash scripts/bench-palette-tool.sh TOOL [WORK_DIR]
set -euo pipefail
tool=$(realpath "$1")
work=${2:-$(mktemp -d)}
rm -rf "$work/small" "$work/out-loop" "$work/out-dir" "$work/out-cp" "$work/out-cp-loop" "$work/out-cp-r" "$work"/*.us
mkdir -p "$work/small" "$work/out-loop" "$work/out-cp" "$work/out-cp-loop"

# An indexed PNG of W x H with 256 colours: the small one with pixels that
# compress like a detailed picture, the large one with random pixels, so that
# the file is as large as such a picture gets (about 16 MiB).
make_png() {
  python3 - "$1" "$2" "$3" <<'PY'
import random, struct, sys, zlib
width, height, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
random.seed(7)
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
palette = bytes(random.randrange(256) for _ in range(768))
row_noise = bytes(random.randrange(256) for _ in range(width + 64))
if width <= 256:
    rows = b"".join(b"\0" + bytes((x // 8 + y // 8 + row_noise[(x + y) % len(row_noise)] // 64) % 256
                                  for x in range(width)) for y in range(height))
else:
    pixels = random.randbytes(width * height)
    rows = b"".join(b"\0" + pixels[y * width:(y + 1) * width] for y in range(height))
with open(path, "wb") as out:
    out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0))
              + chunk(b"PLTE", palette) + chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b""))
PY
}

# Runs a command and prints the peak resident memory of its process in KiB.
peak_kib() {
  python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], check=True)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$@"
}

now_ns() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
per_file_ms() { awk -v ns="$1" 'BEGIN { printf "%.2f", ns / 1000 / 1e6 }'; }
settings=(--lows=0,0,0.5 --heights=0.25,0,0)

make_png 256 256 "$work/one.png"
for i in $(seq -w 1 1000); do cp "$work/one.png" "$work/small/$i.png"; done
sync

start=$(now_ns)
for f in "$work"/small/*.png; do "$tool" "${settings[@]}" "$f" "$work/out-loop/${f##*/}"; done
loop_ns=$(( $(now_ns) - start ))

start=$(now_ns)
"$tool" "${settings[@]}" --out-dir="$work/out-dir" "$work"/small/*.png 2>/dev/null
dir_ns=$(( $(now_ns) - start ))

start=$(now_ns)
cp "$work"/small/*.png "$work/out-cp/"
cp_ns=$(( $(now_ns) - start ))

start=$(now_ns)
for f in "$work"/small/*.png; do cp "$f" "$work/out-cp-loop/${f##*/}"; done
cp_loop_ns=$(( $(now_ns) - start ))
cmp -s "$work/out-loop/0001.png" "$work/out-dir/0001.png" || { echo "the two runs differ" >&2; exit 1; }

# The run with --out-dir against cp -r of the folder, medians of 5 rounds
# taken in turn, since a shared disk's speed drifts: the outputs are flushed
# in groups, which should keep the run within 3 times the copy.
rm -f "$work/dir.us" "$work/cp-r.us"
for _ in 1 2 3 4 5; do
  rm -rf "$work/out-dir" "$work/out-cp-r"; sync
  start=$(now_ns)
  "$tool" "${settings[@]}" --out-dir="$work/out-dir" "$work"/small/*.png 2>/dev/null
  echo $(( ($(now_ns) - start) / 1000 )) >>"$work/dir.us"
  sync
  start=$(now_ns); cp -r "$work/small" "$work/out-cp-r"; echo $(( ($(now_ns) - start) / 1000 )) >>"$work/cp-r.us"
  sync
done
dir_us=$(median <"$work/dir.us")
cp_r_us=$(median <"$work/cp-r.us")

echo "256x256 indexed PNG ($(stat -c %s "$work/one.png") bytes), 1000 files:" \
     "one run with --out-dir $(per_file_ms $dir_ns) ms per file," \
     "1000 files in one loop: $(per_file_ms $loop_ns) ms per file," \
     "cp of them all $(per_file_ms $cp_ns) ms per file," \
     "cp in a loop $(per_file_ms $cp_loop_ns) ms per file"
echo "1000 files, medians of 5: one run with --out-dir $(awk -v us="$dir_us" 'BEGIN { printf "%.0f", us / 1000 }') ms," \
     "cp -r of the folder $(awk -v us="$cp_r_us" 'BEGIN { printf "%.0f", us / 1000 }') ms," \
     "ratio to cp -r $(awk -v t="$dir_us" -v c="$cp_r_us" 'BEGIN { printf "%.2f", t / c }')"

make_png 4096 4096 "$work/large.png"
# One untimed round first, so that every timed run replaces an output of the
# same size, as a re-run does, instead of the first allocating its blocks.
"$tool" --lows=0,0,0.5 "$work/large.png" "$work/large-out.png"
cp "$work/large.png" "$work/large-copy.png"
cp "$work/large.png" "$work/large-synced.png"
sync
for _ in 1 2 3 4 5; do
  start=$(now_ns); "$tool" --lows=0,0,0.5 "$work/large.png" "$work/large-out.png"; end=$(now_ns)
  echo $(( (end - start) / 1000 )) >>"$work/tool.us"
  start=$(now_ns); cp "$work/large.png" "$work/large-copy.png"; end=$(now_ns)
  echo $(( (end - start) / 1000 )) >>"$work/cp.us"
  start=$(now_ns); cp "$work/large.png" "$work/large-synced.png"; sync "$work/large-synced.png"; end=$(now_ns)
  echo $(( (end - start) / 1000 )) >>"$work/cp-sync.us"
done
tool_us=$(median <"$work/tool.us")
cp_us=$(median <"$work/cp.us")
cp_sync_us=$(median <"$work/cp-sync.us")
tool_kib=$(peak_kib "$tool" --lows=0,0,0.5 "$work/large.png" "$work/large-out.png")
cp_kib=$(peak_kib cp "$work/large.png" "$work/large-copy.png")
ms() { awk -v us="$1" 'BEGIN { printf "%.1f", us / 1000 }'; }
echo "4096x4096 indexed PNG ($(stat -c %s "$work/large.png") bytes): palette-balance" \
     "$(ms "$tool_us") ms, cp $(ms "$cp_us") ms, ratio" \
     "$(awk -v t="$tool_us" -v c="$cp_us" 'BEGIN { printf "%.2f", t / c }') (median of 5);" \
     "cp with a flush $(ms "$cp_sync_us") ms, ratio to it" \
     "$(awk -v t="$tool_us" -v c="$cp_sync_us" 'BEGIN { printf "%.2f", t / c }')"
echo "4096x4096 indexed PNG peak memory: palette-balance $tool_kib KiB, cp $cp_kib KiB"
