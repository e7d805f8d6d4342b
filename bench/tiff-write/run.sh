#!/bin/sh
# Times (process CPU time, best of RUNS) TIFF encoding in Vellum32 and in libtiff on the same images, in one run: the
# 12-megapixel RGB photo-like image of bench/tiff-read with LZW and PackBits, and the A4
# 300-dpi bilevel page with Group 4. Prints MB/s of raw pixel data, output sizes, the speed
# ratio Vellum32 / libtiff (>= 1.0: at least as fast) and the size ratio (1.00: equal).
#   bench/tiff-write/run.sh [RUNS]     (needs a build in build/ and libtiff-dev)
set -eu
cd "$(dirname "$0")/../.."
runs=${1:-3}
out=build/bench/tiff-write
src=build/bench/tiff-read
mkdir -p "$out"
[ -f "$src/photo.tif" ] || { echo "run bench/tiff-read/run.sh first (it makes the images)"; exit 1; }
ninja -C build Vellum32 >/dev/null
g++ -O2 -std=c++20 -I. bench/tiff-write/vellum_write.cpp -Lbuild/lib -lVellum32 -llqplatform \
  -Wl,-rpath,"$PWD/build/lib" -o "$out/vellum_write"
gcc -O2 bench/tiff-write/libtiff_write.c -ltiff -o "$out/libtiff_write"
/usr/bin/python3 -c "
from PIL import Image
Image.open('$src/photo.tif').save('$out/photo.bmp')
Image.open('$src/page.tif').save('$out/page.bmp')"
tiffcp -c none "$src/photo.tif" "$out/photo-none.tif"
tiffcp -c none "$src/page.tif" "$out/page-none.tif"
printf '%-12s %12s %12s %12s %12s %8s %8s\n' case vellum-MB/s libtiff-MB/s vellum-bytes libtiff-bytes speed size
for c in lzw packbits g4; do
  case $c in
    lzw) code=5; img=photo; raw=$((4000 * 3000 * 3));;
    packbits) code=32773; img=photo; raw=$((4000 * 3000 * 3));;
    g4) code=4; img=page; raw=$((2480 * 3508 / 8));;
  esac
  v=$("$out/vellum_write" "$out/$img.bmp" "$out/v-$c.tif" $code "$runs")
  l=$("$out/libtiff_write" "$out/$img-none.tif" "$out/l-$c.tif" $code "$runs")
  vs=$(stat -c %s "$out/v-$c.tif"); ls=$(stat -c %s "$out/l-$c.tif")
  awk -v c="$c" -v raw="$raw" -v v="$v" -v l="$l" -v vs="$vs" -v ls="$ls" \
    'BEGIN { printf "%-12s %12.1f %12.1f %12d %12d %8.2f %8.3f\n", c, raw / v / 1e6, raw / l / 1e6, vs, ls, l / v, vs / ls }'
done
