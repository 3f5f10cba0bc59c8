#!/usr/bin/env bash
# Times palette-balance on indexed PNGs: 1,000 pictures of 256x256 in one
# shell loop (time per file), and one 4096x4096 picture against a plain cp of
# the same file (medians of 5 runs). Only the palette is touched, so the large
# picture should take under twice the copy.
#   bash scripts/bench-palette-tool.sh TOOL [WORK_DIR]
set -euo pipefail
tool=$(realpath "$1")
work=${2:-$(mktemp -d)}
mkdir -p "$work/small" "$work/out"

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

now_ns() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

make_png 256 256 "$work/one.png"
for i in $(seq -w 1 1000); do cp "$work/one.png" "$work/small/$i.png"; done
start=$(now_ns)
for f in "$work"/small/*.png; do "$tool" --lows=0,0,0.5 --heights=0.25,0,0 "$f" "$work/out/${f##*/}"; done
end=$(now_ns)
start_cp=$(now_ns)
for f in "$work"/small/*.png; do cp "$f" "$work/out/${f##*/}"; done
end_cp=$(now_ns)
echo "256x256 indexed PNG ($(stat -c %s "$work/one.png") bytes), 1000 files in one loop:" \
     "$(awk -v ns=$((end - start)) 'BEGIN { printf "%.2f", ns / 1000 / 1e6 }') ms per file," \
     "cp $(awk -v ns=$((end_cp - start_cp)) 'BEGIN { printf "%.2f", ns / 1000 / 1e6 }') ms per file"

make_png 4096 4096 "$work/large.png"
for _ in 1 2 3 4 5; do
  start=$(now_ns); "$tool" --lows=0,0,0.5 "$work/large.png" "$work/large-out.png"; end=$(now_ns)
  echo $(( (end - start) / 1000 )) >>"$work/tool.us"
  start=$(now_ns); cp "$work/large.png" "$work/large-copy.png"; end=$(now_ns)
  echo $(( (end - start) / 1000 )) >>"$work/cp.us"
done
tool_us=$(median <"$work/tool.us")
cp_us=$(median <"$work/cp.us")
echo "4096x4096 indexed PNG ($(stat -c %s "$work/large.png") bytes): palette-balance" \
     "$(awk -v us="$tool_us" 'BEGIN { printf "%.1f", us / 1000 }') ms, cp" \
     "$(awk -v us="$cp_us" 'BEGIN { printf "%.1f", us / 1000 }') ms, ratio" \
     "$(awk -v t="$tool_us" -v c="$cp_us" 'BEGIN { printf "%.2f", t / c }') (median of 5)"
