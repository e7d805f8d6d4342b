#!/bin/sh
# Times loading a 24-megapixel JPEG (6000 x 4000) into TLQDib against djpeg decoding the same
# file to /dev/null, in one run; prints the best of RUNS for each and the ratios
# TLQDib / djpeg (goal: <= 1.10). TLQDib is timed inside the program (the load alone),
# djpeg around its process.
#   bench/jpeg-load/run.sh [RUNS]      (needs a build in build/)
set -eu
cd "$(dirname "$0")/../.."
runs=${1:-5}
out=build/bench/jpeg-load
mkdir -p "$out"
ninja -C build jpeg-load-bench >/dev/null
if [ ! -f "$out/photo24mp.jpg" ]; then
  /usr/bin/python3 - "$out" <<'PY'
import random, sys
from PIL import Image
out = sys.argv[1]
random.seed(7)
small = Image.new('RGB', (300, 200))
px = small.load()
for y in range(200):
    for x in range(300):
        px[x, y] = (int(128 + 90 * ((x / 300) - 0.5) + random.randint(-25, 25)),
                    int(120 + 70 * ((y / 200) - 0.5) + random.randint(-25, 25)),
                    int(90 + random.randint(-35, 35)))
big = small.resize((6000, 4000), Image.BICUBIC)
noise = Image.effect_noise((6000, 4000), 20).convert('RGB')
Image.blend(big, noise, 0.1).save(f'{out}/photo24mp.jpg', quality=90)
PY
fi
file="$out/photo24mp.jpg"
# The two alternate, so that both see the same machine; the best run of each counts. On a
# shared machine the processor time (user + system) is the steadier figure: wall-clock time
# also counts the time spent waiting for a processor.
/usr/bin/python3 - "$file" "$runs" <<'PY'
import os, subprocess, sys, time
file, runs = sys.argv[1], int(sys.argv[2])
ours_wall = ours_cpu = peer_wall = peer_cpu = 1e9
for _ in range(runs):
    out = subprocess.run(['build/bin/jpeg-load-bench', file, '1'], check=True, capture_output=True, text=True)
    wall, cpu = map(float, out.stdout.split())
    ours_wall, ours_cpu = min(ours_wall, wall), min(ours_cpu, cpu)
    start = time.perf_counter()
    child = subprocess.Popen(['djpeg', '-outfile', '/dev/null', file])
    _, status, usage = os.wait4(child.pid, 0)
    assert status == 0
    peer_wall = min(peer_wall, time.perf_counter() - start)
    peer_cpu = min(peer_cpu, usage.ru_utime + usage.ru_stime)
print(f'file: {file} ({os.path.getsize(file)} bytes, 6000x4000), best of {runs}')
print(f'wall:      TLQDib {ours_wall:.3f} s   djpeg {peer_wall:.3f} s   ratio {ours_wall / peer_wall:.3f}')
print(f'processor: TLQDib {ours_cpu:.3f} s   djpeg {peer_cpu:.3f} s   ratio {ours_cpu / peer_cpu:.3f}')
PY
