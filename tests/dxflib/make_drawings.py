# Makes drawings with ezdxf and writes what ezdxf reads back from them, for the DXF tests.
#   make_drawings.py OUTDIR
# For each drawing NAME it writes NAME.dxf and NAME.ref: one line per model-space entity in
# file order, then "BBOX x0 y0 x1 y1" from ezdxf.bbox.extents over the entities whose box the
# reader computes exactly (all but TEXT and rotated INSERTs).
import math
import random
import sys

import ezdxf
from ezdxf import bbox


def populate(doc, rng):
    doc.layers.new("RED", dxfattribs={"color": 1})
    doc.layers.new("OFF", dxfattribs={"color": -5})
    door = doc.blocks.new("DOOR", base_point=(2, 1))
    door.add_line((2, 1), (12, 1))
    door.add_arc((2, 1), 10, 0, 90)
    door.add_circle((5, 5), 2, dxfattribs={"color": 0})
    # A block inserted by a block defined before it, so that it is a forward reference.
    frame = doc.blocks.new("A_FRAME", base_point=(0, 0))
    frame.add_blockref("Z_LATER", (3, 3))
    later = doc.blocks.new("Z_LATER", base_point=(0, 0))
    later.add_point((1, 1))
    later.add_line((0, 0), (4, 2))
    msp = doc.modelspace()

    def p():
        return (rng.uniform(-500, 500), rng.uniform(-300, 300))

    for i in range(60):
        kind = i % 10
        layer = rng.choice(["0", "RED", "OFF"])
        attribs = {"layer": layer, "color": rng.choice([0, 3, 256, 7])}
        if kind == 0:
            msp.add_line(p(), p(), dxfattribs=attribs)
        elif kind == 1:
            msp.add_point(p(), dxfattribs=attribs)
        elif kind == 2:
            msp.add_circle(p(), rng.uniform(0.5, 40), dxfattribs=attribs)
        elif kind == 3:
            msp.add_arc(p(), rng.uniform(0.5, 40), rng.uniform(0, 360), rng.uniform(0, 360), dxfattribs=attribs)
        elif kind == 4:
            msp.add_solid([p(), p(), p(), p()], dxfattribs=attribs)
        elif kind == 5:
            msp.add_trace([p(), p(), p()], dxfattribs=attribs)
        elif kind == 6:
            msp.add_3dface([p(), p(), p(), p()], dxfattribs=attribs)
        elif kind == 7:
            msp.add_polyline2d([p() for _ in range(rng.randint(2, 9))], close=rng.random() < 0.5, dxfattribs=attribs)
        elif kind == 8:
            msp.add_blockref("DOOR", p(), dxfattribs={"xscale": rng.uniform(0.5, 3), "yscale": rng.uniform(0.5, 3), **attribs})
        else:
            msp.add_blockref("A_FRAME", p(), dxfattribs={"xscale": 2, **attribs})
    msp.add_blockref("DOOR", p(), dxfattribs={"rotation": 30})
    msp.add_text("Grundriss", dxfattribs={"insert": p(), "height": 5, "width": 0.8, "rotation": 15})


def describe(e):
    def xy(v):
        return "%.17g %.17g" % (v[0], v[1])

    t = e.dxftype()
    d = e.dxf
    if t == "LINE":
        return "LINE %s %s" % (xy(d.start), xy(d.end))
    if t == "POINT":
        return "POINT %s" % xy(d.location)
    if t == "CIRCLE":
        return "CIRCLE %s %.17g" % (xy(d.center), d.radius)
    if t == "ARC":
        return "ARC %s %.17g %.17g %.17g" % (xy(d.center), d.radius, d.start_angle, d.end_angle)
    if t in ("SOLID", "TRACE", "3DFACE"):
        return "%s %s %s %s %s" % (t, xy(d.vtx0), xy(d.vtx1), xy(d.vtx2), xy(d.vtx3))
    if t == "POLYLINE":
        points = [v.dxf.location for v in e.vertices]
        return "POLYLINE %d %d %s" % (int(e.is_closed), len(points), " ".join(xy(v) for v in points))
    if t == "INSERT":
        return "INSERT %s %s %.17g %.17g %.17g" % (d.name, xy(d.insert), d.xscale, d.yscale, d.rotation)
    if t == "TEXT":
        return "TEXT %s %.17g %.17g %.17g %s" % (xy(d.insert), d.height, d.width, d.rotation, d.text)
    raise ValueError(t)


def write(path, doc):
    msp = doc.modelspace()
    exact = [e for e in msp if e.dxftype() != "TEXT" and not (e.dxftype() == "INSERT" and e.dxf.rotation)]
    box = bbox.extents(exact)
    with open(path, "w", encoding="utf-8") as f:
        for e in msp:
            f.write(describe(e) + "\n")
        f.write("BBOX %.17g %.17g %.17g %.17g\n" % (box.extmin.x, box.extmin.y, box.extmax.x, box.extmax.y))


def main():
    out = sys.argv[1]
    for name, version, fmt in [("r12", "R12", "asc"), ("r12bin", "R12", "bin"), ("r2000", "R2000", "asc"),
                               ("r2000bin", "R2000", "bin")]:
        doc = ezdxf.new(version)
        populate(doc, random.Random(1234))
        doc.saveas("%s/%s.dxf" % (out, name), fmt=fmt)
        write("%s/%s.ref" % (out, name), ezdxf.readfile("%s/%s.dxf" % (out, name)))


main()
