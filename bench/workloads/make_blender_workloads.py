# Writes the FBX workloads of scripts/bench.sh, as an artist's Blender would:
#   blender --background --factory-startup --python make_blender_workloads.py -- OUTDIR
#  - grid_100k.fbx: a 250 x 200 quad grid (50,451 vertices, 100,000 triangles once triangulated),
#    mapped, 10 m x 8 m;
#  - chain_100x10k.fbx: a chain of 100 bones, each turning on its own sine, 10,000 frames at 24 fps;
#  - humanoid_60x10k.fbx: a 60-bone humanoid tree (root, hips, spine, neck, head, jaw, eyes, arms
#    with twist bones and five three-bone fingers, legs), every bone swinging, 10,000 frames.
import math
import os
import sys

import bpy

out = sys.argv[sys.argv.index("--") + 1]
os.makedirs(out, exist_ok=True)
FRAMES = 10000


def reset():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    scene = bpy.context.scene
    scene.render.fps = 24
    scene.frame_start = 1
    scene.frame_end = FRAMES
    return scene


def grid():
    reset()
    bpy.ops.mesh.primitive_grid_add(x_subdivisions=250, y_subdivisions=200, size=1)
    obj = bpy.context.active_object
    obj.name = "Terrain"
    obj.scale = (10, 8, 1)
    bpy.ops.object.transform_apply(scale=True)
    # Gentle hills so that the normals differ from vertex to vertex.
    for v in obj.data.vertices:
        v.co.z = 0.3 * math.sin(v.co.x * 1.3) * math.cos(v.co.y * 0.9)
    bpy.ops.object.shade_smooth()
    bpy.ops.export_scene.fbx(filepath=os.path.join(out, "grid_100k.fbx"), use_selection=False,
                             bake_anim=False, add_leaf_bones=False)


def armature(name, bones):
    """bones: list of (name, parent name or None, head, tail)."""
    reset()
    data = bpy.data.armatures.new(name)
    obj = bpy.data.objects.new(name, data)
    bpy.context.scene.collection.objects.link(obj)
    bpy.context.view_layer.objects.active = obj
    bpy.ops.object.mode_set(mode="EDIT")
    for bone_name, parent, head, tail in bones:
        b = data.edit_bones.new(bone_name)
        b.head, b.tail = head, tail
        if parent:
            b.parent = data.edit_bones[parent]
    bpy.ops.object.mode_set(mode="POSE")
    return obj


def bake(obj):
    """Keys every bone's rotation on every frame, written through fcurve arrays (fast)."""
    action = bpy.data.actions.new(obj.name + "Action")
    obj.animation_data_create().action = action
    for i, pb in enumerate(obj.pose.bones):
        pb.rotation_mode = "XYZ"
        path = 'pose.bones["%s"].rotation_euler' % pb.name
        for axis in range(3):
            curve = action.fcurves.new(path, index=axis, action_group=pb.name)
            curve.keyframe_points.add(FRAMES)
            amplitude = 0.2 + 0.05 * ((i + axis) % 5)
            period = 40.0 + 7.0 * ((i * 3 + axis) % 11)
            coords = []
            for f in range(1, FRAMES + 1):
                coords += [float(f), amplitude * math.sin(2 * math.pi * f / period + i)]
            curve.keyframe_points.foreach_set("co", coords)
            for k in curve.keyframe_points:
                k.interpolation = "LINEAR"
            curve.update()


def export_animation(obj, file):
    bpy.ops.object.mode_set(mode="OBJECT")
    bpy.ops.export_scene.fbx(filepath=os.path.join(out, file), use_selection=False, bake_anim=True,
                             bake_anim_use_all_actions=False, bake_anim_use_nla_strips=False,
                             bake_anim_simplify_factor=0.0, add_leaf_bones=False)


def chain():
    bones = []
    for i in range(100):
        bones.append(("Bone%03d" % i, "Bone%03d" % (i - 1) if i else None, (0, 0, 0.1 * i), (0, 0, 0.1 * (i + 1))))
    obj = armature("Chain", bones)
    bake(obj)
    export_animation(obj, "chain_100x10k.fbx")


def humanoid_bones():
    bones = [("Root", None, (0, 0, 0), (0, 0, 0.2)), ("Hips", "Root", (0, 0, 1.0), (0, 0, 1.1))]
    up = 1.1
    for i in range(5):
        bones.append(("Spine%d" % i, bones[-1][0], (0, 0, up), (0, 0, up + 0.1)))
        up += 0.1
    bones.append(("Neck", "Spine4", (0, 0, up), (0, 0, up + 0.08)))
    bones.append(("Head", "Neck", (0, 0, up + 0.08), (0, 0, up + 0.3)))
    bones.append(("Jaw", "Head", (0, -0.02, up + 0.12), (0, -0.1, up + 0.1)))
    bones.append(("EyeL", "Head", (0.03, -0.08, up + 0.2), (0.03, -0.1, up + 0.2)))
    bones.append(("EyeR", "Head", (-0.03, -0.08, up + 0.2), (-0.03, -0.1, up + 0.2)))
    for side, s in (("L", 1), ("R", -1)):
        bones.append(("Clavicle" + side, "Spine4", (0.05 * s, 0, up - 0.05), (0.18 * s, 0, up - 0.05)))
        bones.append(("UpperArm" + side, "Clavicle" + side, (0.18 * s, 0, up - 0.05), (0.45 * s, 0, up - 0.05)))
        bones.append(("UpperArmTwist" + side, "UpperArm" + side, (0.3 * s, 0, up - 0.05), (0.4 * s, 0, up - 0.05)))
        bones.append(("Forearm" + side, "UpperArm" + side, (0.45 * s, 0, up - 0.05), (0.7 * s, 0, up - 0.05)))
        bones.append(("Hand" + side, "Forearm" + side, (0.7 * s, 0, up - 0.05), (0.78 * s, 0, up - 0.05)))
        for f in range(5):
            parent, x = "Hand" + side, 0.78
            for j in range(3):
                name = "Finger%d%d%s" % (f, j, side)
                y = 0.02 * (f - 2)
                bones.append((name, parent, (x * s, y, up - 0.05), ((x + 0.03) * s, y, up - 0.05)))
                parent, x = name, x + 0.03
        bones.append(("Thigh" + side, "Hips", (0.1 * s, 0, 1.0), (0.1 * s, 0, 0.55)))
        bones.append(("Shin" + side, "Thigh" + side, (0.1 * s, 0, 0.55), (0.1 * s, 0, 0.1)))
        bones.append(("Foot" + side, "Shin" + side, (0.1 * s, 0, 0.1), (0.1 * s, -0.12, 0.02)))
        bones.append(("Toe" + side, "Foot" + side, (0.1 * s, -0.12, 0.02), (0.1 * s, -0.18, 0.02)))
    return bones


def humanoid():
    bones = humanoid_bones()
    assert len(bones) == 60, len(bones)
    obj = armature("Golfer", bones)
    bake(obj)
    export_animation(obj, "humanoid_60x10k.fbx")


grid()
chain()
humanoid()
