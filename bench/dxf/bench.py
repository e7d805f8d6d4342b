# Times reading a ~50 MB ASCII DXF drawing: Quadrant32 (quadrant info: read, resolve blocks,
# extents) against ezdxf.readfile, in one run, and prints the ratio.
#   /usr/bin/python3 bench/dxf/bench.py [BUILD_DIR]
# The drawing is made with ezdxf once and kept in $TMPDIR/lumquil-bench/.
import math
import os
import random
import resource
import subprocess
import sys
import tempfile
import time

import ezdxf

build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "build")
quadrant = os.path.join(build, "bin", "quadrant")
folder = os.path.join(tempfile.gettempdir(), "lumquil-bench")
drawing = os.path.join(folder, "drawing-50mb.dxf")


def make():
    rng = random.Random(5)
    doc = ezdxf.new("R12")
    for i in range(8):
        doc.layers.new("L%d" % i, dxfattribs={"color": i + 1})
    block = doc.blocks.new("CHAIR")
    block.add_circle((0, 0), 0.4)
    block.add_line((-0.4, 0), (0.4, 0))
    msp = doc.modelspace()

    def p():
        return (rng.uniform(0, 10000), rng.uniform(0, 7000))

    def add(count):
        for _ in range(count):
            a = {"layer": "L%d" % rng.randrange(8)}
            k = rng.randrange(6)
            if k == 0:
                msp.add_line(p(), p(), dxfattribs=a)
            elif k == 1:
                msp.add_circle(p(), rng.uniform(1, 50), dxfattribs=a)
            elif k == 2:
                msp.add_arc(p(), rng.uniform(1, 50), rng.uniform(0, 360), rng.uniform(0, 360), dxfattribs=a)
            elif k == 3:
                msp.add_polyline2d([p() for _ in range(6)], dxfattribs=a)
            elif k == 4:
                msp.add_text("Raum %d" % rng.randrange(1000), dxfattribs={"insert": p(), "height": 2, **a})
            else:
                msp.add_blockref("CHAIR", p(), dxfattribs={"rotation": rng.uniform(0, 360), **a})

    # Measure the bytes an entity takes on a sample, then write the whole drawing once.
    add(20000)
    doc.saveas(drawing)
    per_entity = os.path.getsize(drawing) / 20000
    add(int(51_000_000 / per_entity) - 20000)
    doc.saveas(drawing)


def timed(run, times, cpu_clock):
    """Best wall and processor seconds of `times` runs; the machine may be shared, so the
    processor time is the steadier measure."""
    wall = cpu = math.inf
    for _ in range(times):
        start, start_cpu = time.perf_counter(), cpu_clock()
        run()
        wall = min(wall, time.perf_counter() - start)
        cpu = min(cpu, cpu_clock() - start_cpu)
    return wall, cpu


def children_cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


os.makedirs(folder, exist_ok=True)
if not os.path.exists(drawing) or os.path.getsize(drawing) < 50_000_000:
    print("making the drawing with ezdxf ...", flush=True)
    make()
size = os.path.getsize(drawing) / 1e6
ours = timed(lambda: subprocess.run([quadrant, "info", drawing], check=True, stdout=subprocess.DEVNULL), 3,
             children_cpu)
theirs = timed(lambda: ezdxf.readfile(drawing), 1, time.process_time)
print("drawing: %.1f MB ASCII DXF R12" % size)
print("Quadrant32 (quadrant info): %.3f s wall, %.3f s processor" % ours)
print("ezdxf.readfile:             %.3f s wall, %.3f s processor" % theirs)
print("ratio: %.1fx faster (wall), %.1fx faster (processor)" % (theirs[0] / ours[0], theirs[1] / ours[1]))
