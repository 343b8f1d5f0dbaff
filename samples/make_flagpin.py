#!/usr/bin/env python3
"""Writes samples/flagpin.gltf (with pole.png and flag.png): a golf flag pin modelled in centimetres.

- "FlagPin": one mesh with two materials: the pole (an octagonal cylinder 230 cm tall, texture
  pole.png) and the flag (a 40 x 28 cm cloth near the top, both sides, texture flag.png).
- "yardstick": a 100 cm tall post beside it, so the exporter measures 1 metre = 100 units.
- "FlagTop" and "HoleCentre": empty nodes at the top of the pole and at the hole, the model's markers.

Run it from anywhere: python3 samples/make_flagpin.py
"""
import base64
import json
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def png(path, width, height, pixel):
    rows = b"".join(b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


class Mesh:
    def __init__(self):
        self.pos, self.nrm, self.uv, self.idx = [], [], [], []

    def quad(self, corners, normal, uvs):
        base = len(self.pos)
        for c, t in zip(corners, uvs):
            self.pos.append(c)
            self.nrm.append(normal)
            self.uv.append(t)
        self.idx += [base, base + 1, base + 2, base, base + 2, base + 3]


def pole(height=230.0, radius=1.5, sides=8):
    m = Mesh()
    for i in range(sides):
        a0, a1 = 2 * math.pi * i / sides, 2 * math.pi * (i + 1) / sides
        mid = (a0 + a1) / 2
        n = (math.cos(mid), 0.0, -math.sin(mid))
        p0 = (radius * math.cos(a0), 0.0, -radius * math.sin(a0))
        p1 = (radius * math.cos(a1), 0.0, -radius * math.sin(a1))
        m.quad([p0, p1, (p1[0], height, p1[2]), (p0[0], height, p0[2])], n,
               [(i / sides, 0), ((i + 1) / sides, 0), ((i + 1) / sides, 1), (i / sides, 1)])
    # The cap on top.
    for i in range(sides):
        a0, a1 = 2 * math.pi * i / sides, 2 * math.pi * (i + 1) / sides
        base = len(m.pos)
        for p in [(0.0, height, 0.0), (radius * math.cos(a0), height, -radius * math.sin(a0)),
                  (radius * math.cos(a1), height, -radius * math.sin(a1))]:
            m.pos.append(p)
            m.nrm.append((0.0, 1.0, 0.0))
            m.uv.append((0.5, 1.0))
        m.idx += [base, base + 1, base + 2]
    return m


def flag(top=225.0, width=40.0, height=28.0):
    m = Mesh()
    x0, x1, y0, y1 = 1.5, 1.5 + width, top - height, top
    m.quad([(x0, y0, 0.0), (x1, y0, 0.0), (x1, y1, 0.0), (x0, y1, 0.0)], (0.0, 0.0, 1.0),
           [(0, 0), (1, 0), (1, 1), (0, 1)])
    m.quad([(x1, y0, 0.0), (x0, y0, 0.0), (x0, y1, 0.0), (x1, y1, 0.0)], (0.0, 0.0, -1.0),
           [(1, 0), (0, 0), (0, 1), (1, 1)])
    return m


def post(height=100.0, half=1.0):
    m = Mesh()
    faces = [((1, 0, 0), [(half, 0, -half), (half, 0, half), (half, height, half), (half, height, -half)]),
             ((-1, 0, 0), [(-half, 0, half), (-half, 0, -half), (-half, height, -half), (-half, height, half)]),
             ((0, 0, 1), [(half, 0, half), (-half, 0, half), (-half, height, half), (half, height, half)]),
             ((0, 0, -1), [(-half, 0, -half), (half, 0, -half), (half, height, -half), (-half, height, -half)]),
             ((0, 1, 0), [(-half, height, half), (-half, height, -half), (half, height, -half), (half, height, half)]),
             ((0, -1, 0), [(-half, 0, -half), (-half, 0, half), (half, 0, half), (half, 0, -half)])]
    for n, corners in faces:
        m.quad([tuple(float(c) for c in p) for p in corners], tuple(float(c) for c in n), [(0, 0), (1, 0), (1, 1), (0, 1)])
    return m


def main():
    buffer = bytearray()
    views, accessors = [], []

    def add(data, fmt, count, kind, component, target, minmax=None):
        while len(buffer) % 4:
            buffer.append(0)
        offset = len(buffer)
        for item in data:
            buffer.extend(struct.pack(fmt, *(item if isinstance(item, tuple) else (item,))))
        views.append({"buffer": 0, "byteOffset": offset, "byteLength": len(buffer) - offset, "target": target})
        acc = {"bufferView": len(views) - 1, "componentType": component, "count": count, "type": kind}
        if minmax:
            acc["min"], acc["max"] = minmax
        accessors.append(acc)
        return len(accessors) - 1

    def primitive(mesh, material):
        lo = [min(p[i] for p in mesh.pos) for i in range(3)]
        hi = [max(p[i] for p in mesh.pos) for i in range(3)]
        return {"attributes": {"POSITION": add(mesh.pos, "<3f", len(mesh.pos), "VEC3", 5126, 34962, (lo, hi)),
                               "NORMAL": add(mesh.nrm, "<3f", len(mesh.nrm), "VEC3", 5126, 34962),
                               "TEXCOORD_0": add(mesh.uv, "<2f", len(mesh.uv), "VEC2", 5126, 34962)},
                "indices": add(mesh.idx, "<H", len(mesh.idx), "SCALAR", 5123, 34963),
                "material": material}

    gltf = {
        "asset": {"version": "2.0", "generator": "make_flagpin.py", "extras": {"units": "centimetres"}},
        "scene": 0,
        "scenes": [{"name": "FlagPin", "nodes": [0, 1, 2, 3]}],
        "nodes": [
            {"name": "FlagPin", "mesh": 0, "extras": {"note": "golf flag pin, 230 cm"}},
            {"name": "yardstick", "mesh": 1, "translation": [60.0, 0.0, 0.0]},
            {"name": "FlagTop", "translation": [0.0, 230.0, 0.0]},
            {"name": "HoleCentre", "translation": [0.0, 0.0, 0.0]},
        ],
        "meshes": [{"name": "FlagPin", "primitives": [primitive(pole(), 0), primitive(flag(), 1)]},
                   {"name": "Yardstick", "primitives": [primitive(post(), 2)]}],
        "materials": [
            {"name": "Pole", "pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}},
            {"name": "Flag", "pbrMetallicRoughness": {"baseColorTexture": {"index": 1}}, "doubleSided": True},
            {"name": "Yardstick", "pbrMetallicRoughness": {"baseColorFactor": [1, 1, 0, 1]}},
        ],
        "textures": [{"source": 0}, {"source": 1}],
        "images": [{"uri": "pole.png"}, {"uri": "flag.png"}],
        "buffers": [{"byteLength": len(buffer)}],
        "bufferViews": views,
        "accessors": accessors,
    }
    gltf["buffers"][0] = {"byteLength": len(buffer),
                          "uri": "data:application/octet-stream;base64," + base64.b64encode(bytes(buffer)).decode()}
    with open(os.path.join(HERE, "flagpin.gltf"), "w") as f:
        json.dump(gltf, f, indent=1)
        f.write("\n")
    png(os.path.join(HERE, "pole.png"), 8, 8, lambda x, y: (250, 250, 250) if (y // 2) % 2 else (230, 40, 40))
    png(os.path.join(HERE, "flag.png"), 8, 8, lambda x, y: (220, 30, 30) if (x + y) % 2 else (250, 220, 0))


if __name__ == "__main__":
    main()
