# Writes the scenes of the artist-file tests into tests/data/artist/, with Blender in background mode and
# its default export settings (custom properties switched on, which artists who use KEYFRAME properties
# need):
#   blender --background --factory-startup --python make_artist_scenes.py -- tests/data/artist
#
# box_<unit>_<yardstick>.<format>: a crate 0.8 x 0.4 x 1.5 m standing on the ground, modelled in a metre
#   scene (m) or a centimetre scene (cm), with or without a "yardstick" 1 m tall, 0.1 wide and 0.2 deep;
#   as FBX (Blender's default axes, and _z: a Z-up FBX), glTF binary, COLLADA and OBJ.
# rig.<format>: an armature object "Rig" (bones Base and Arm) with a skinned, textured "Sleeve"; its
#   action "Swing" spans frames 1 to 60 at 24 fps (Base moves 1 m along +Y, Arm turns 90 degrees about X);
#   the armature carries the custom properties KEYFRAME = "12 TOP_OF_SWING", kf2 = "KEYFRAME 30 BALL_STRUCK"
#   and kf3 = "45 BALL_STRUK" (a typing mistake).
# prop.fbx: the rig with a "Club" (a small box without a skin) parented to the bone Arm, as a golfer's
#   club hangs from a hand.
# fan.fbx: an armature "Fan" of five bones F0 to F4 side by side and a "Blade" (one quad) whose first
#   vertex is weighted to all five (0.1, 0.1, 0.1, 0.1 and 0.6 for F4), the others to F0 alone.
# two.fbx: armatures "Left" and "Right" of one bone each, both animated by the one action "Swing"
#   (frames 1 to 10), which Blender writes as the takes "Left|Swing" and "Right|Swing".
# flag.fbx: a plane "Flag" whose material's texture "flag cloth.png" (4 x 4 pixels) is embedded in the
#   file (path mode Copy, Embed Textures), as artists hand a textured prop over in one file.
# tiled.fbx: a plane "Green" 2 m square whose texture "turf.png" a Mapping node tiles 4 x 4 and moves by
#   (0.5, 0.25), which Blender's FBX exporter writes as the texture's Scaling (1/4) and Translation.
# strips.<format>: an armature "Golfer" of one bone whose actions "Idle" (frames 1 to 20) and "Swing"
#   (frames 1 to 40, a quarter turn about Z) each lie on an NLA track of their own, as artists keep
#   several clips; Blender's FBX exporter writes a take per strip ("Idle", "Swing") beside a take per
#   action ("Golfer|Idle", "Golfer|Swing"), all from time 0.
# rig_packed.glb: rig.glb packed by gltfpack (Debian's gltfpack 0.18, `gltfpack -kn`, names kept), when it is
#   installed: positions, normals and UVs quantized to integers (KHR_mesh_quantization, required, with a
#   texture transform that scales the UVs back), weights as normalized bytes, rotation keys as normalized
#   shorts resampled at 30 fps, the skinned mesh moved to a node of its own at the top.
# talk.fbx: an armature "Head" of one bone "Jaw" that turns over frames 1 to 10, with a skinned plane "Face"
#   whose shape key "Smile" is keyed over the same frames, as a face rig's expressions are.
# ntsc.<format>: the armature "Golfer" of one bone in a scene at 29.97 fps (Blender's NTSC frame rate, 30 with a
#   base of 1.001), whose action "Turn" keys a quarter turn about Z from frame 1 to frame 300, linearly, and
#   a box "Ball" 0.1 m across beside it.
# painted.<format>: an armature "Arm" (bones Lower and Upper above it) with a skinned cylinder "Tube" whose
#   weights were painted by hand and do not add up to 1 (Blender deforms by the weights divided by their
#   sum): its bottom ring 0.5 to Lower and 0.3 to Upper, its top ring 0.6 to Upper.
# clash.fbx, clash_embedded.fbx: a "Club" of two boxes joined, its handle of the material "Wood" (texture
#   wood/diffuse.png, brown) and its head of "Metal" (metal/diffuse.png, grey): two images of one file name
#   in two folders, as artists name their maps; clash.fbx refers to the files, clash_embedded.fbx embeds
#   them (path mode Copy, Embed Textures), under the one name Blender gives both copies. The images are
#   not kept beside the files.
import math
import os
import shutil
import subprocess
import sys

import bpy

folder = sys.argv[sys.argv.index("--") + 1]
os.makedirs(folder, exist_ok=True)


def reset(unit):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    s = bpy.context.scene
    s.unit_settings.system = 'METRIC'
    if unit == "cm":
        s.unit_settings.scale_length = 0.01
        s.unit_settings.length_unit = 'CENTIMETERS'
        return 100.0
    return 1.0


def box(name, size, location):
    bpy.ops.mesh.primitive_cube_add(size=1.0, location=location)
    obj = bpy.context.active_object
    obj.name = name
    obj.scale = size
    bpy.ops.object.transform_apply(scale=True)
    return obj


def export(path):
    base, ext = os.path.splitext(path)
    if ext == ".fbx":
        bpy.ops.export_scene.fbx(filepath=path, use_custom_props=True)
    elif ext == ".zfbx":
        bpy.ops.export_scene.fbx(filepath=base + "_z.fbx", use_custom_props=True, axis_up='Z', axis_forward='Y')
    elif ext == ".glb":
        bpy.ops.export_scene.gltf(filepath=path, export_format='GLB', export_extras=True)
    elif ext == ".dae":
        bpy.ops.wm.collada_export(filepath=path)
    elif ext == ".obj":
        bpy.ops.wm.obj_export(filepath=path)


for unit in ("m", "cm"):
    for yardstick in ("yard", "none"):
        for ext in (".fbx", ".zfbx", ".glb", ".dae", ".obj"):
            k = reset(unit)
            box("Crate", (0.8 * k, 0.4 * k, 1.5 * k), (0, 0, 0.75 * k))
            if yardstick == "yard":
                box("yardstick", (0.1 * k, 0.2 * k, 1.0 * k), (2 * k, 0, 0.5 * k))
            export(os.path.join(folder, "box_%s_%s%s" % (unit, yardstick, ext)))


def rig_scene():
    reset("m")
    scene = bpy.context.scene
    scene.frame_start, scene.frame_end = 1, 60
    bpy.ops.object.armature_add(enter_editmode=True, location=(0, 0, 0))
    rig = bpy.context.active_object
    rig.name = "Rig"
    bones = rig.data.edit_bones
    base = bones[0]
    base.name = "Base"
    base.head, base.tail = (0, 0, 0), (0, 0, 1)
    arm = bones.new("Arm")
    arm.head, arm.tail = (0, 0, 1), (0, 0, 2)
    arm.parent = base
    bpy.ops.object.mode_set(mode='OBJECT')
    rig["KEYFRAME"] = "12 TOP_OF_SWING"
    rig["kf2"] = "KEYFRAME 30 BALL_STRUCK"
    rig["kf3"] = "45 BALL_STRUK"

    bpy.ops.mesh.primitive_cylinder_add(radius=0.2, depth=2, location=(0, 0, 1), vertices=8)
    sleeve = bpy.context.active_object
    sleeve.name = "Sleeve"
    image = bpy.data.images.new("sleeve", 4, 4)
    image.pixels = [0.8, 0.2, 0.1, 1.0] * 16
    image.filepath_raw = os.path.join(folder, "sleeve.png")
    image.file_format = 'PNG'
    image.save()
    image.pack()
    material = bpy.data.materials.new("Cloth")
    material.use_nodes = True
    texture = material.node_tree.nodes.new("ShaderNodeTexImage")
    texture.image = image
    material.node_tree.links.new(texture.outputs["Color"],
                                 material.node_tree.nodes["Principled BSDF"].inputs["Base Color"])
    sleeve.data.materials.append(material)

    sleeve.select_set(True)
    rig.select_set(True)
    bpy.context.view_layer.objects.active = rig
    bpy.ops.object.parent_set(type='ARMATURE_AUTO')
    bpy.ops.object.mode_set(mode='POSE')
    arm_pose = rig.pose.bones["Arm"]
    arm_pose.rotation_mode = 'XYZ'
    arm_pose.rotation_euler = (0, 0, 0)
    arm_pose.keyframe_insert("rotation_euler", frame=1)
    arm_pose.rotation_euler = (math.radians(90), 0, 0)
    arm_pose.keyframe_insert("rotation_euler", frame=60)
    base_pose = rig.pose.bones["Base"]
    base_pose.location = (0, 0, 0)
    base_pose.keyframe_insert("location", frame=1)
    base_pose.location = (0, 1, 0)
    base_pose.keyframe_insert("location", frame=60)
    bpy.ops.object.mode_set(mode='OBJECT')
    rig.animation_data.action.name = "Swing"


for ext in (".fbx", ".glb", ".dae"):
    rig_scene()
    export(os.path.join(folder, "rig" + ext))


def prop_scene():
    rig_scene()
    bpy.ops.mesh.primitive_cube_add(size=0.2, location=(0.3, 0, 1.5))
    club = bpy.context.active_object
    club.name = "Club"
    club.parent = bpy.data.objects["Rig"]
    club.parent_type = 'BONE'
    club.parent_bone = "Arm"


prop_scene()
export(os.path.join(folder, "prop.fbx"))
os.remove(os.path.join(folder, "sleeve.png"))  # the GLB embeds it; FBX and COLLADA name a missing file


def fan_scene():
    reset("m")
    bpy.ops.object.armature_add(enter_editmode=True, location=(0, 0, 0))
    fan = bpy.context.active_object
    fan.name = "Fan"
    bones = fan.data.edit_bones
    bones[0].name = "F0"
    bones[0].head, bones[0].tail = (0, 0, 0), (0, 0, 1)
    for i in range(1, 5):
        b = bones.new("F%d" % i)
        b.head, b.tail = (i * 0.5, 0, 0), (i * 0.5, 0, 1)
    bpy.ops.object.mode_set(mode='OBJECT')
    mesh = bpy.data.meshes.new("Blade")
    mesh.from_pydata([(0, 0, 0), (2, 0, 0), (2, 0, 1), (0, 0, 1)], [], [(0, 1, 2, 3)])
    blade = bpy.data.objects.new("Blade", mesh)
    bpy.context.collection.objects.link(blade)
    blade.parent = fan
    blade.modifiers.new("Armature", 'ARMATURE').object = fan
    for i, weight in enumerate((0.1, 0.1, 0.1, 0.1, 0.6)):
        group = blade.vertex_groups.new(name="F%d" % i)
        group.add([0], weight, 'REPLACE')
        if i == 0:
            group.add([1, 2, 3], 1.0, 'REPLACE')


fan_scene()
export(os.path.join(folder, "fan.fbx"))


def two_rigs_scene():
    reset("m")
    swing = None
    for name, x in (("Left", -1), ("Right", 1)):
        bpy.ops.object.armature_add(enter_editmode=True, location=(x, 0, 0))
        rig = bpy.context.active_object
        rig.name = name
        rig.data.edit_bones[0].name = "Bone"
        bpy.ops.object.mode_set(mode='POSE')
        if swing is None:
            bone = rig.pose.bones[0]
            bone.rotation_mode = 'XYZ'
            bone.rotation_euler = (0, 0, 0)
            bone.keyframe_insert("rotation_euler", frame=1)
            bone.rotation_euler = (1, 0, 0)
            bone.keyframe_insert("rotation_euler", frame=10)
            swing = rig.animation_data.action
            swing.name = "Swing"
        else:
            rig.animation_data_create()
            rig.animation_data.action = swing
        bpy.ops.object.mode_set(mode='OBJECT')


two_rigs_scene()
export(os.path.join(folder, "two.fbx"))


def strips_scene():
    reset("m")
    bpy.ops.object.armature_add(enter_editmode=False, location=(0, 0, 0))
    rig = bpy.context.active_object
    rig.name = "Golfer"
    rig.animation_data_create()
    bone = rig.pose.bones[0]
    bone.rotation_mode = 'XYZ'
    for name, last in (("Idle", 20), ("Swing", 40)):
        action = bpy.data.actions.new(name)
        rig.animation_data.action = action
        bone.rotation_euler = (0, 0, 0)
        bone.keyframe_insert("rotation_euler", frame=1)
        bone.rotation_euler = (0, 0, math.radians(90) if name == "Swing" else 0.1)
        bone.keyframe_insert("rotation_euler", frame=last)
        track = rig.animation_data.nla_tracks.new()
        track.name = name
        track.strips.new(name, 1, action)
        rig.animation_data.action = None
    bpy.context.scene.frame_end = 40


strips_scene()
export(os.path.join(folder, "strips.fbx"))
export(os.path.join(folder, "strips.glb"))


def flag_scene():
    reset("m")
    image = bpy.data.images.new("cloth", 4, 4)
    image.filepath_raw = os.path.join(folder, "flag cloth.png")
    image.file_format = 'PNG'
    image.save()
    material = bpy.data.materials.new("Cloth")
    material.use_nodes = True
    texture = material.node_tree.nodes.new("ShaderNodeTexImage")
    texture.image = image
    material.node_tree.links.new(texture.outputs["Color"], material.node_tree.nodes["Principled BSDF"].inputs["Base Color"])
    bpy.ops.mesh.primitive_plane_add(size=1.0, location=(0, 0, 1))
    flag = bpy.context.active_object
    flag.name = "Flag"
    flag.data.materials.append(material)


flag_scene()
bpy.ops.export_scene.fbx(filepath=os.path.join(folder, "flag.fbx"), path_mode='COPY', embed_textures=True)
os.remove(os.path.join(folder, "flag cloth.png"))  # only the copy inside the FBX is left


def tiled_scene():
    reset("m")
    material = bpy.data.materials.new("Turf")
    material.use_nodes = True
    nodes, links = material.node_tree.nodes, material.node_tree.links
    texture, mapping, coordinates = (nodes.new(kind) for kind in ("ShaderNodeTexImage", "ShaderNodeMapping", "ShaderNodeTexCoord"))
    texture.image = bpy.data.images.new("turf", 4, 4)
    texture.image.filepath_raw = os.path.join(folder, "turf.png")
    mapping.inputs["Scale"].default_value = (4, 4, 1)
    mapping.inputs["Location"].default_value = (0.5, 0.25, 0)
    links.new(coordinates.outputs["UV"], mapping.inputs["Vector"])
    links.new(mapping.outputs["Vector"], texture.inputs["Vector"])
    links.new(texture.outputs["Color"], nodes["Principled BSDF"].inputs["Base Color"])
    bpy.ops.mesh.primitive_plane_add(size=2.0)
    green = bpy.context.active_object
    green.name = "Green"
    green.data.materials.append(material)


tiled_scene()
export(os.path.join(folder, "tiled.fbx"))


def talk_scene():
    reset("m")
    bpy.context.scene.frame_end = 10
    bpy.ops.object.armature_add(enter_editmode=False, location=(0, 0, 0))
    head = bpy.context.active_object
    head.name = "Head"
    head.data.bones[0].name = "Jaw"
    bpy.ops.mesh.primitive_plane_add(size=1.0, location=(0, 0, 0.5))
    face = bpy.context.active_object
    face.name = "Face"
    face.parent = head
    face.modifiers.new("Armature", 'ARMATURE').object = head
    face.vertex_groups.new(name="Jaw").add([0, 1, 2, 3], 1.0, 'REPLACE')
    face.shape_key_add(name="Basis")
    smile = face.shape_key_add(name="Smile")
    smile.data[0].co.z += 0.1
    for frame, value in ((1, 0.0), (10, 1.0)):
        smile.value = value
        smile.keyframe_insert("value", frame=frame)
    bpy.context.view_layer.objects.active = head
    bpy.ops.object.mode_set(mode='POSE')
    jaw = head.pose.bones["Jaw"]
    jaw.rotation_mode = 'XYZ'
    for frame, angle in ((1, 0.0), (10, 0.3)):
        jaw.rotation_euler = (angle, 0, 0)
        jaw.keyframe_insert("rotation_euler", frame=frame)
    bpy.ops.object.mode_set(mode='OBJECT')


talk_scene()
export(os.path.join(folder, "talk.fbx"))


def ntsc_scene():
    reset("m")
    scene = bpy.context.scene
    scene.render.fps, scene.render.fps_base = 30, 1.001
    scene.frame_start, scene.frame_end = 1, 300
    box("Ball", (0.1, 0.1, 0.1), (1, 0, 0.05))
    bpy.ops.object.armature_add(enter_editmode=False, location=(0, 0, 0))
    rig = bpy.context.active_object
    rig.name = "Golfer"
    rig.animation_data_create()
    rig.animation_data.action = bpy.data.actions.new("Turn")
    bone = rig.pose.bones[0]
    bone.rotation_mode = 'XYZ'
    for frame, degrees in ((1, 0), (300, 90)):
        bone.rotation_euler = (0, 0, math.radians(degrees))
        bone.keyframe_insert("rotation_euler", frame=frame)
    for curve in rig.animation_data.action.fcurves:
        for key in curve.keyframe_points:
            key.interpolation = 'LINEAR'


for ext in (".fbx", ".dae"):
    ntsc_scene()
    export(os.path.join(folder, "ntsc" + ext))

def painted_scene():
    reset("m")
    bpy.ops.object.armature_add(enter_editmode=True, location=(0, 0, 0))
    arm = bpy.context.active_object
    arm.name = "Arm"
    lower = arm.data.edit_bones[0]
    lower.name, lower.head, lower.tail = "Lower", (0, 0, 0), (0, 0, 1)
    upper = arm.data.edit_bones.new("Upper")
    upper.head, upper.tail, upper.parent = (0, 0, 1), (0, 0, 2), lower
    bpy.ops.object.mode_set(mode='OBJECT')
    bpy.ops.mesh.primitive_cylinder_add(vertices=6, radius=0.2, depth=2, location=(0, 0, 1))
    tube = bpy.context.active_object
    tube.name = "Tube"
    tube.parent = arm
    tube.modifiers.new("Armature", 'ARMATURE').object = arm
    on_lower, on_upper = tube.vertex_groups.new(name="Lower"), tube.vertex_groups.new(name="Upper")
    for v in tube.data.vertices:
        if v.co.z < 0:
            on_lower.add([v.index], 0.5, 'REPLACE')
            on_upper.add([v.index], 0.3, 'REPLACE')
        else:
            on_upper.add([v.index], 0.6, 'REPLACE')


for ext in (".fbx", ".glb"):
    painted_scene()
    export(os.path.join(folder, "painted" + ext))

def clash_scene():
    reset("m")
    materials = []
    for name, rgb in (("Wood", (0.5, 0.3, 0.1)), ("Metal", (0.7, 0.7, 0.8))):
        image = bpy.data.images.new("diffuse_" + name.lower(), 4, 4)
        image.pixels = (list(rgb) + [1.0]) * 16
        image.filepath_raw = os.path.join(folder, name.lower(), "diffuse.png")
        image.file_format = 'PNG'
        image.save()
        material = bpy.data.materials.new(name)
        material.use_nodes = True
        texture = material.node_tree.nodes.new("ShaderNodeTexImage")
        texture.image = image
        material.node_tree.links.new(texture.outputs["Color"],
                                     material.node_tree.nodes["Principled BSDF"].inputs["Base Color"])
        materials.append(material)
    handle = box("Club", (0.05, 0.05, 1.0), (0, 0, 0.6))
    handle.data.materials.append(materials[0])
    head = box("Head", (0.1, 0.2, 0.1), (0, 0, 0.05))
    head.data.materials.append(materials[1])
    head.select_set(True)
    handle.select_set(True)
    bpy.context.view_layer.objects.active = handle
    bpy.ops.object.join()


clash_scene()
bpy.ops.export_scene.fbx(filepath=os.path.join(folder, "clash.fbx"))
bpy.ops.export_scene.fbx(filepath=os.path.join(folder, "clash_embedded.fbx"), path_mode='COPY', embed_textures=True)
for name in ("wood", "metal"):
    shutil.rmtree(os.path.join(folder, name))

if shutil.which("gltfpack"):
    subprocess.run(["gltfpack", "-i", os.path.join(folder, "rig.glb"), "-o", os.path.join(folder, "rig_packed.glb"), "-kn"],
                   check=True)
