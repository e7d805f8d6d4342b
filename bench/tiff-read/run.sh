#!/bin/sh
# Times (process CPU time, best of RUNS) TIFF decoding in Vellum32 and in libtiff on the same files, in one run:
# a 12-megapixel RGB photo-like image uncompressed, LZW with predictor and PackBits, and an
# A4 300-dpi bilevel page in Group 4. Prints MB/s of decoded pixel data and the speed ratio
# Vellum32 / libtiff (>= 1.0 means Vellum32 is at least as fast).
#   bench/tiff-read/run.sh [RUNS]     (needs a build in build/ and libtiff-dev)
set -eu
cd "$(dirname "$0")/../.."
runs=${1:-5}
out=build/bench/tiff-read
mkdir -p "$out"
ninja -C build Vellum32 >/dev/null
g++ -O2 -std=c++20 -I. bench/tiff-read/vellum_read.cpp -Lbuild/lib -lVellum32 -llqplatform \
  -Wl,-rpath,"$PWD/build/lib" -o "$out/vellum_read"
gcc -O2 bench/tiff-read/libtiff_read.c -ltiff -o "$out/libtiff_read"
/usr/bin/python3 - "$out" <<'PY'
import os, subprocess, sys, random
from PIL import Image, ImageDraw, ImageFilter
out = sys.argv[1]
if not os.path.exists(f'{out}/photo.tif'):
    random.seed(1)
    small = Image.new('RGB', (400, 300))
    px = small.load()
    for y in range(300):
        for x in range(400):
            px[x, y] = (int(128 + 100 * ((x / 400) - 0.5) + random.randint(-20, 20)),
                        int(120 + 80 * ((y / 300) - 0.5) + random.randint(-20, 20)),
                        int(90 + random.randint(-30, 30)))
    big = small.resize((4000, 3000), Image.BICUBIC)
    noise = Image.effect_noise((4000, 3000), 12).convert('RGB')
    Image.blend(big, noise, 0.08).save(f'{out}/photo.tif')
    page = Image.new('1', (2480, 3508), 1)
    d = ImageDraw.Draw(page)
    for line in range(120):
        y = 200 + line * 26
        x = 200
        while x < 2250:
            w = random.randint(8, 60)
            d.rectangle((x, y, x + w, y + 16), fill=0)
            x += w + random.randint(10, 30)
    page.save(f'{out}/page.tif')
PY
tiffcp -c none "$out/photo.tif" "$out/rgb-none.tif"
tiffcp -c lzw:2 "$out/photo.tif" "$out/rgb-lzw2.tif"
tiffcp -c packbits "$out/photo.tif" "$out/rgb-packbits.tif"
tiffcp -c g4 "$out/page.tif" "$out/a4-g4.tif"
printf '%-16s %10s %12s %12s %8s\n' file bytes vellum-MB/s libtiff-MB/s ratio
for f in rgb-none rgb-lzw2 rgb-packbits a4-g4; do
  case $f in a4-g4) raw=$((2480 * 3508 / 8));; *) raw=$((4000 * 3000 * 3));; esac
  v=$("$out/vellum_read" "$out/$f.tif" "$runs")
  l=$("$out/libtiff_read" "$out/$f.tif" "$runs")
  awk -v f="$f" -v size="$(stat -c %s "$out/$f.tif")" -v raw="$raw" -v v="$v" -v l="$l" \
    'BEGIN { printf "%-16s %10d %12.1f %12.1f %8.2f\n", f, size, raw / v / 1e6, raw / l / 1e6, l / v }'
done
