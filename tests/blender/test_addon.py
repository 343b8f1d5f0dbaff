"""The Blender add-on, headless: a rigged, animated scene with markers, a yardstick and KEYFRAME
properties exported through the add-on's operators, checked with vloinfo; and scenes with an error.
  blender -b --factory-startup --python-exit-code 1 --python tests/blender/test_addon.py -- VLOEXPORT VLOINFO
Exits with status 1 on the first failed check."""
import json
import math
import os
import subprocess
import sys
import tempfile

import addon_utils
import bpy

vloexport, vloinfo = sys.argv[sys.argv.index("--") + 1:][:2]
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "integrations", "blender"))
addon_utils.enable("io_scene_vlo", default_set=True)
import io_scene_vlo  # noqa: E402

bpy.context.preferences.addons["io_scene_vlo"].preferences.vloexport = vloexport
checks = 0


def check(condition, what):
    global checks
    checks += 1
    if not condition:
        raise SystemExit("FAILED: " + what + "\nlast report: " + repr(io_scene_vlo.LAST_REPORT))


def info(path, *extra):
    run = subprocess.run([vloinfo, path, "--json", *extra], capture_output=True, text=True)
    check(run.returncode == 0, "vloinfo accepts %s: %s" % (path, run.stderr))
    return json.loads(run.stdout)


def golfer():
    """A 2 m body skinned to a two-bone armature swinging its upper bone over frames 1 to 24, two
    markers, a 2 m yardstick and a KEYFRAME property on the armature."""
    for o in list(bpy.data.objects):  # the factory scene's cube, light and camera
        bpy.data.objects.remove(o)
    scene = bpy.context.scene
    scene.render.fps = 24
    scene.frame_start, scene.frame_end = 1, 24
    data = bpy.data.armatures.new("Golfer")
    rig = bpy.data.objects.new("Golfer", data)
    scene.collection.objects.link(rig)
    bpy.context.view_layer.objects.active = rig
    bpy.ops.object.mode_set(mode="EDIT")
    hips = data.edit_bones.new("Hips")
    hips.head, hips.tail = (0, 0, 0), (0, 0, 1)
    spine = data.edit_bones.new("Spine")
    spine.head, spine.tail, spine.parent = (0, 0, 1), (0, 0, 2), hips
    bpy.ops.object.mode_set(mode="POSE")
    bone = rig.pose.bones["Spine"]
    bone.rotation_mode = "XYZ"
    for frame, angle in ((1, 0.0), (24, math.radians(90))):
        bone.rotation_euler = (angle, 0, 0)
        bone.keyframe_insert("rotation_euler", frame=frame)
    rig.animation_data.action.name = "Swing"
    bpy.ops.object.mode_set(mode="OBJECT")
    rig["kf_top"] = "KEYFRAME 10 TOP_OF_SWING"
    bpy.ops.mesh.primitive_cylinder_add(radius=0.25, depth=2, location=(0, 0, 1))
    body = bpy.context.active_object
    body.name = "Body"
    body.select_set(True)
    rig.select_set(True)
    bpy.context.view_layer.objects.active = rig
    bpy.ops.object.parent_set(type="ARMATURE_AUTO")
    for name, place in (("Ball", (1, 0, 0)), ("Tee", (-1, 0, 0))):
        empty = bpy.data.objects.new(name, None)
        empty.location = place
        scene.collection.objects.link(empty)
    bpy.ops.mesh.primitive_cube_add(size=1, location=(3, 0, 1))
    yardstick = bpy.context.active_object
    yardstick.name = "yardstick"
    yardstick.scale = (0.1, 0.1, 2)
    bpy.ops.object.transform_apply(scale=True)
    return rig, body


def call(operator, **options):
    """The operator's result; an operator that reports an error raises in scripts: "CANCELLED" then."""
    try:
        return operator(**options)
    except RuntimeError:
        return {"CANCELLED"}


def select_only(*objects, active=None):
    bpy.ops.object.select_all(action="DESELECT")
    for o in objects:
        o.select_set(True)
    bpy.context.view_layer.objects.active = active or (objects[0] if objects else None)


with tempfile.TemporaryDirectory() as out:
    rig, body = golfer()
    leftovers = set(os.listdir(tempfile.gettempdir()))

    # The skinned model: its three bones (the armature object and its two), the two markers, sizes in
    # yardsticks: the 2 m body is 1 yardstick tall.
    select_only(body)
    model = os.path.join(out, "golfer.vlo")
    check(bpy.ops.export_scene.vlo(filepath=model, mode="hierarchy", origin="world") == {"FINISHED"}, "the model exports")
    m = info(model)
    check(m["flags"]["hierarchy"], "a skinned model")
    check([b["name"] for b in m["bones"]] == ["Golfer", "Hips", "Spine"], "the bones: %s" % m["bones"])
    check(sorted(mk["name"] for mk in m["markers"]) == ["Ball", "Tee"], "the markers: %s" % m["markers"])
    height = m["bounds"]["max"][1] - m["bounds"]["min"][1]
    check(abs(height - 1.0) < 1e-4, "the body is one yardstick tall: %s" % height)
    check(m["counts"]["vertices"] > 0 and m["counts"]["polygons"] > 0, "counts")
    check(any(level == "INFO" and "vertices" in text for level, text in io_scene_vlo.LAST_REPORT), "a summary")
    print("model:", m["counts"])

    # Without the yardstick, and one marker left out: Blender's metres.
    check(bpy.ops.export_scene.vlo(filepath=model, mode="shape", scale="unit", origin="world",
                                   markers=[{"name": "Tee", "export": False}]) == {"FINISHED"}, "1 unit = 1 m")
    m = info(model)
    check(abs(m["bounds"]["max"][1] - m["bounds"]["min"][1] - 2.0) < 1e-4, "the body is 2 m tall")
    check([mk["name"] for mk in m["markers"]] == ["Ball"], "the unticked marker is left out: %s" % m["markers"])

    # The animation: Blender's frames 1 to 24; the KEYFRAME property's frame 10 is the tenth record.
    select_only(rig)
    animation = os.path.join(out, "swing.vla")  # the file the user named, in its case
    check(bpy.ops.export_anim.vla(filepath=animation, kf_ball_struck=True, kf_ball_struck_frame=20) == {"FINISHED"},
          "the animation exports")
    a = info(animation, "--first-frame", "1")
    check(a["header"]["frames"] == 24 and a["header"]["bones"] == 3, "24 frames of 3 bones: %s" % a["header"])
    check(a["header"]["frameRate"] == 24, "24 fps")
    flagged = {k["frame"]: k["names"] for k in a["keyFrames"]}
    check(flagged == {10: ["TOP_OF_SWING"], 20: ["BALL_STRUCK"]}, "key frames on Blender's frames: %s" % flagged)
    check(rig.get("KEYFRAME_BALL_STRUCK") == "KEYFRAME 20 BALL_STRUCK", "the dialog's key frame is written back")
    check(sorted(a["markers"]) == ["Ball", "Tee"], "the markers' tracks")
    # A part of the range, by Blender's frame numbers.
    check(bpy.ops.export_anim.vla(filepath=animation, frame_start=5, frame_end=12) == {"FINISHED"}, "a range")
    a = info(animation, "--first-frame", "5")
    check(a["header"]["frames"] == 8 and a["timeline"] == {"first": 5, "last": 12}, "frames 5 to 12: %s" % a["header"])
    check({k["frame"] for k in a["keyFrames"]} == {10}, "TOP_OF_SWING still at 10 (BALL_STRUCK's 20 is outside)")
    print("animation:", a["header"])

    # A club held in the hand: parented to the Spine bone, not skinned. The animation is still the
    # armature's, the club one of its nodes, and it pairs with the skinned model exported with it.
    bpy.ops.mesh.primitive_cube_add(size=0.1, location=(0, 0.5, 2))
    club = bpy.context.active_object
    club.name = "Club"
    club.parent, club.parent_type, club.parent_bone = rig, "BONE", "Spine"
    select_only(rig)
    check(bpy.ops.export_anim.vla(filepath=animation) == {"FINISHED"}, "the animation with a club exports")
    a = info(animation)
    check(a["header"]["frames"] == 24 and a["header"]["bones"] == 4, "24 frames of 4 nodes: %s" % a["header"])
    select_only(body)
    check(bpy.ops.export_scene.vlo(filepath=model, mode="hierarchy", origin="world") == {"FINISHED"}, "the model again")
    m = info(model)
    check([b["name"] for b in m["bones"]] == ["Golfer", "Hips", "Spine", "Club"], "the bones: %s" % m["bones"])
    info(model, animation)  # vloinfo checks that the two number the same bones

    # A prop textured with an image whose name has a space, tiled twice by a Mapping node: the model
    # names the image as it is called, and its texture coordinates span the tiling.
    image = bpy.data.images.new("Golf Ball", 4, 4)
    image.filepath_raw = os.path.join(out, "Golf Ball.png")
    image.file_format = "PNG"
    image.save()
    paint = bpy.data.materials.new("Paint")
    paint.use_nodes = True
    nodes, links = paint.node_tree.nodes, paint.node_tree.links
    texture, mapping, coordinates = (nodes.new(kind) for kind in ("ShaderNodeTexImage", "ShaderNodeMapping", "ShaderNodeTexCoord"))
    texture.image = image
    mapping.inputs["Scale"].default_value = (2, 2, 1)
    links.new(coordinates.outputs["UV"], mapping.inputs["Vector"])
    links.new(mapping.outputs["Vector"], texture.inputs["Vector"])
    links.new(texture.outputs["Color"], nodes["Principled BSDF"].inputs["Base Color"])
    bpy.ops.mesh.primitive_plane_add(size=1, location=(0, -3, 0))
    plane = bpy.context.active_object
    plane.name = "Decal"
    plane.data.materials.append(paint)
    select_only(plane)
    decal = os.path.join(out, "decal.vlo")
    check(bpy.ops.export_scene.vlo(filepath=decal, mode="shape", scale="unit") == {"FINISHED"}, "the decal exports")
    d = info(decal, "--full")
    check(d["textures"] == ["Golf Ball.png"], "the texture's own name: %s" % d["textures"])
    us = [v["uv"][0] for v in d["vertices"]]
    check(abs(min(us)) < 1e-6 and abs(max(us) - 2) < 1e-6, "tiled twice: u from %s to %s" % (min(us), max(us)))

    # Errors: nothing selected, no armature. The report says so and nothing is written.
    select_only()
    missing = os.path.join(out, "nothing.vlo")
    check(call(bpy.ops.export_scene.vlo, filepath=missing) == {"CANCELLED"}, "nothing selected is refused")
    check(io_scene_vlo.LAST_REPORT and io_scene_vlo.LAST_REPORT[0][0] == "ERROR", "the error is reported")
    select_only(bpy.data.objects["yardstick"])
    check(call(bpy.ops.export_anim.vla, filepath=os.path.join(out, "nothing.vla")) == {"CANCELLED"}, "no armature is refused")
    check("armature" in io_scene_vlo.LAST_REPORT[0][1], "the report names the problem")
    bpy.ops.mesh.primitive_cube_add(location=(5, 0, 0))
    bpy.context.active_object.name = "Prop"
    select_only(bpy.data.objects["Prop"])
    check(call(bpy.ops.export_scene.vlo, filepath=missing, mode="hierarchy") == {"CANCELLED"}, "an unbound mesh as hierarchy")
    check("not bound to an armature" in io_scene_vlo.LAST_REPORT[0][1], "the report says the mesh has no armature")
    check(not os.path.exists(missing) and not os.path.exists(os.path.join(out, "nothing.vla")), "nothing written")
    check(not [f for f in set(os.listdir(tempfile.gettempdir())) - leftovers if f.startswith("vlo-blender-")],
          "no temporary files left")
print("all %d checks passed" % checks)
