#!/usr/bin/env python3
"""Writes the glTF workloads of scripts/bench.sh (binary .glb, no dependencies):
  make_gltf_workloads.py OUTDIR
 - chain_100x10k.glb: a chain of 100 joints 0.1 m apart, each turning on its own sine about all
   three axes, baked on every frame: 10,000 frames at 24 fps (linear rotation keys);
 - humanoid_60x10k.glb: the same motion on a 60-joint humanoid tree (root, hips, five spine joints,
   neck, head, jaw, eyes, arms with twist joints and five three-joint fingers, legs).
The motion is the one make_blender_workloads.py gives its FBX files."""
import json
import math
import os
import struct
import sys

FRAMES = 10000
FPS = 24


def euler_xyz_quaternion(x, y, z):
    """The quaternion (x, y, z, w) of Blender's XYZ Euler rotation: X first, then Y, then Z."""
    cx, sx = math.cos(x / 2), math.sin(x / 2)
    cy, sy = math.cos(y / 2), math.sin(y / 2)
    cz, sz = math.cos(z / 2), math.sin(z / 2)
    # q = qz * qy * qx
    w = cz * cy * cx + sz * sy * sx
    qx = cz * cy * sx - sz * sy * cx
    qy = cz * sy * cx + sz * cy * sx
    qz = sz * cy * cx - cz * sy * sx
    return qx, qy, qz, w


def angle(i, axis, frame):
    amplitude = 0.2 + 0.05 * ((i + axis) % 5)
    period = 40.0 + 7.0 * ((i * 3 + axis) % 11)
    return amplitude * math.sin(2 * math.pi * frame / period + i)


def humanoid():
    """(name, parent index or -1, offset from the parent)."""
    joints = [("Root", -1, (0, 0, 0)), ("Hips", 0, (0, 1.0, 0))]

    def add(name, parent, offset):
        joints.append((name, [j[0] for j in joints].index(parent), offset))

    parent = "Hips"
    for i in range(5):
        add("Spine%d" % i, parent, (0, 0.1, 0))
        parent = "Spine%d" % i
    add("Neck", "Spine4", (0, 0.1, 0))
    add("Head", "Neck", (0, 0.08, 0))
    add("Jaw", "Head", (0, 0.04, 0.02))
    add("EyeL", "Head", (0.03, 0.12, 0.08))
    add("EyeR", "Head", (-0.03, 0.12, 0.08))
    for side, s in (("L", 1), ("R", -1)):
        add("Clavicle" + side, "Spine4", (0.05 * s, 0, 0))
        add("UpperArm" + side, "Clavicle" + side, (0.13 * s, 0, 0))
        add("UpperArmTwist" + side, "UpperArm" + side, (0.12 * s, 0, 0))
        add("Forearm" + side, "UpperArm" + side, (0.27 * s, 0, 0))
        add("Hand" + side, "Forearm" + side, (0.25 * s, 0, 0))
        for f in range(5):
            parent = "Hand" + side
            for j in range(3):
                name = "Finger%d%d%s" % (f, j, side)
                add(name, parent, ((0.08 if j == 0 else 0.03) * s, 0, 0.02 * (f - 2) if j == 0 else 0))
                parent = name
        add("Thigh" + side, "Hips", (0.1 * s, 0, 0))
        add("Shin" + side, "Thigh" + side, (0, -0.45, 0))
        add("Foot" + side, "Shin" + side, (0, -0.45, 0))
        add("Toe" + side, "Foot" + side, (0, -0.08, 0.12))
    assert len(joints) == 60, len(joints)
    return joints


def chain():
    return [("Bone%03d" % i, i - 1, (0, 0.1 if i else 0, 0)) for i in range(100)]


def write_glb(path, joints):
    buffer = bytearray()
    views, accessors = [], []

    def add(data, count, kind, extra=None):
        views.append({"buffer": 0, "byteOffset": len(buffer), "byteLength": len(data)})
        buffer.extend(data)
        while len(buffer) % 4:
            buffer.append(0)
        accessor = {"bufferView": len(views) - 1, "componentType": 5126, "count": count, "type": kind}
        accessor.update(extra or {})
        accessors.append(accessor)
        return len(accessors) - 1

    times = [f / FPS for f in range(FRAMES)]
    time_accessor = add(struct.pack("<%df" % FRAMES, *times), FRAMES, "SCALAR",
                        {"min": [times[0]], "max": [times[-1]]})
    samplers, channels = [], []
    for i in range(len(joints)):
        values = []
        for f in range(1, FRAMES + 1):
            values.extend(euler_xyz_quaternion(angle(i, 0, f), angle(i, 1, f), angle(i, 2, f)))
        output = add(struct.pack("<%df" % len(values), *values), FRAMES, "VEC4")
        samplers.append({"input": time_accessor, "output": output, "interpolation": "LINEAR"})
        channels.append({"sampler": i, "target": {"node": i, "path": "rotation"}})
    nodes = [{"name": name, "translation": list(offset)} for name, _, offset in joints]
    for i, (_, parent, _) in enumerate(joints):
        if parent >= 0:
            nodes[parent].setdefault("children", []).append(i)
    gltf = {
        "asset": {"version": "2.0", "generator": "make_gltf_workloads.py"},
        "scene": 0,
        "scenes": [{"nodes": [0]}],
        "nodes": nodes,
        "animations": [{"name": "Swing", "samplers": samplers, "channels": channels}],
        "buffers": [{"byteLength": len(buffer)}],
        "bufferViews": views,
        "accessors": accessors,
    }
    text = json.dumps(gltf, separators=(",", ":")).encode()
    text += b" " * (-len(text) % 4)
    with open(path, "wb") as out:
        out.write(struct.pack("<III", 0x46546C67, 2, 12 + 8 + len(text) + 8 + len(buffer)))
        out.write(struct.pack("<II", len(text), 0x4E4F534A) + text)
        out.write(struct.pack("<II", len(buffer), 0x004E4942) + bytes(buffer))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_glb(os.path.join(out, "chain_100x10k.glb"), chain())
    write_glb(os.path.join(out, "humanoid_60x10k.glb"), humanoid())


if __name__ == "__main__":
    main()
