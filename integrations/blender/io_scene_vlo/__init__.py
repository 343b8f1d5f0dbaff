"""Exports golf models (.vlo) and animations (.vla) from Blender through vloexport.

File > Export > Golf model (.vlo) and Golf animation (.vla) offer the exporter's options. The add-on
writes what is exported (the selection, or the active armature with its action and children) to a
temporary glTF file with its custom properties, runs vloexport on it with the matching flags, and
shows vloexport's warnings and errors in Blender's reports. Frame numbers are Blender's, sizes
Blender's metres (or, with an object named "yardstick", in yardsticks)."""

bl_info = {
    "name": "Golf model and animation (.vlo, .vla)",
    "author": "VLO exporter team",
    "version": (1, 4, 0),
    "blender": (3, 4, 0),
    "location": "File > Export > Golf model (.vlo) / Golf animation (.vla)",
    "description": "Exports models and swing animations for the golf game through vloexport",
    "category": "Import-Export",
}

import json
import os
import re
import shutil
import subprocess
import tempfile

import bpy
from bpy.props import BoolProperty, CollectionProperty, EnumProperty, IntProperty, StringProperty
from bpy_extras.io_utils import ExportHelper

KEY_FRAMES = ("BALL_STRUCK", "MOUSE_SWING_START", "TOP_OF_SWING", "ADDRESS_BALL")
KEY_FRAME_TEXT = re.compile(r"^\s*(?:KEYFRAME\s+)?(-?\d+)\s+([A-Za-z_]+)\s*$", re.IGNORECASE)

# What the last export reported, as (level, text) pairs: the reports Blender shows, kept for scripts
# and tests that run without a window.
LAST_REPORT = []


class VLOPreferences(bpy.types.AddonPreferences):
    bl_idname = __package__ or __name__

    vloexport: StringProperty(
        name="vloexport",
        description="The vloexport program (found on PATH when empty)",
        subtype="FILE_PATH",
        default="",
    )

    def draw(self, context):
        self.layout.prop(self, "vloexport")


class VLOMarker(bpy.types.PropertyGroup):
    name: StringProperty()
    export: BoolProperty(name="Export", default=True, description="Export this empty as a marker")


def refuse(operator, text):
    """Reports why nothing is exported; the operator's result."""
    LAST_REPORT[:] = [("ERROR", text)]
    operator.report({"ERROR"}, text)
    return {"CANCELLED"}


def vloexport_program(context):
    addon = context.preferences.addons.get(VLOPreferences.bl_idname)
    path = addon.preferences.vloexport if addon else ""
    return bpy.path.abspath(path) if path else shutil.which("vloexport")


def root_empties(scene):
    """The scene's root-level empties: the marker candidates, by name."""
    return sorted(o.name for o in scene.objects if o.type == "EMPTY" and o.parent is None and o.name.lower() != "yardstick")


def key_frame_properties(obj):
    """The object's custom properties that read as key frames: {slot name: (property, frame)}."""
    found = {}
    if obj is None:
        return found
    for key in obj.keys():
        value = obj[key]
        if not isinstance(value, str):
            continue
        match = KEY_FRAME_TEXT.match(value)
        if match and match.group(2).upper() in KEY_FRAMES:
            found[match.group(2).upper()] = (key, int(match.group(1)))
    return found


def armature_of(obj):
    """The armature that deforms obj, or obj itself when it is one."""
    if obj is None:
        return None
    if obj.type == "ARMATURE":
        return obj
    for modifier in getattr(obj, "modifiers", []):
        if modifier.type == "ARMATURE" and modifier.object:
            return modifier.object
    return obj.parent if obj.parent and obj.parent.type == "ARMATURE" else None


class ExportOptions:
    """The options both exports share: the options dialog's choices."""

    origin: EnumProperty(
        name="Origin",
        items=(("base", "Base", "The model stands on its base, centred"),
               ("center", "Centre", "The model's centre"),
               ("world", "World", "Blender's world origin"),
               ("pivot", "Pivot", "The object's parent's position")),
        default="base",
    )
    swap_yz: BoolProperty(name="Swap Y and Z", default=True, description="The game is Y up")
    scale: EnumProperty(
        name="Scale",
        items=(("yardstick", "Yardstick", "Measure the object named 'yardstick' (1 unit = 1 m without one)"),
               ("unit", "1 unit = 1 m", "Blender's metres")),
        default="yardstick",
    )
    no_collisions: BoolProperty(name="No collisions", default=False)
    semi_transparent: BoolProperty(name="Semi-transparent", default=False)
    bump: BoolProperty(name="Bump map", default=False, description="Export the bump (normal) map and tangent frames")
    specular: BoolProperty(name="Specular map", default=False)
    sound: StringProperty(name="Sound", subtype="FILE_PATH", default="")
    markers: CollectionProperty(type=VLOMarker)
    zero_root_rotation: BoolProperty(name="Zero initial root rotation", default=False)
    prepared: BoolProperty(default=False, options={"HIDDEN", "SKIP_SAVE"})

    def prepare(self, context):
        """Fills the markers and key frames from the scene the first time (the dialog, or a script).
        Every root-level empty is a marker, ticked unless the caller has already unticked it by name."""
        if self.prepared:
            return
        self.prepared = True
        chosen = {marker.name: marker.export for marker in self.markers}
        self.markers.clear()
        for name in root_empties(context.scene):
            marker = self.markers.add()
            marker.name = name
            marker.export = chosen.get(name, True)
        found = key_frame_properties(self.key_frame_object(context))
        for slot in KEY_FRAMES:
            if slot in found:
                setattr(self, "kf_" + slot.lower(), True)
                setattr(self, "kf_" + slot.lower() + "_frame", found[slot][1])

    def key_frame_object(self, context):
        return context.active_object

    def common_flags(self, key_frames):
        flags = ["--origin", self.origin, "--scale", self.scale]
        if not self.swap_yz:
            flags.append("--no-swap-yz")
        for name, on in (("--no-collisions", self.no_collisions), ("--semi-transparent", self.semi_transparent),
                         ("--bump", self.bump), ("--specular", self.specular)):
            if on:
                flags.append(name)
        if self.sound:
            flags += ["--sound", bpy.path.abspath(self.sound)]
        for marker in self.markers:
            if not marker.export:
                flags += ["--remove-marker", marker.name]
        if not key_frames:
            return flags
        flags.append("--zero-root-rotation" if self.zero_root_rotation else "--no-zero-root-rotation")
        for slot in KEY_FRAMES:
            if getattr(self, "kf_" + slot.lower()):
                flags += ["--keyframe", "%d:%s" % (getattr(self, "kf_" + slot.lower() + "_frame"), slot)]
        return flags

    def write_key_frames_back(self, obj):
        """The key frames as set in the dialog become the object's KEYFRAME properties."""
        if obj is None:
            return
        found = key_frame_properties(obj)
        for slot in KEY_FRAMES:
            on = getattr(self, "kf_" + slot.lower())
            frame = getattr(self, "kf_" + slot.lower() + "_frame")
            key = found[slot][0] if slot in found else "KEYFRAME_" + slot
            if on:
                obj[key] = "KEYFRAME %d %s" % (frame, slot)
            elif slot in found:
                del obj[key]

    def draw_common(self, layout):
        layout.prop(self, "origin")
        layout.prop(self, "swap_yz")
        layout.prop(self, "scale")
        box = layout.box()
        box.label(text="Options")
        box.prop(self, "no_collisions")
        box.prop(self, "semi_transparent")
        box.prop(self, "bump")
        box.prop(self, "specular")
        layout.prop(self, "sound")
        box = layout.box()
        box.label(text="Dummy markers" if self.markers else "Dummy markers: none (root-level empties)")
        for marker in self.markers:
            box.prop(marker, "export", text=marker.name)
        box = layout.box()
        box.label(text="Key frames")
        for slot in KEY_FRAMES:
            row = box.row()
            row.prop(self, "kf_" + slot.lower(), text=slot)
            sub = row.row()
            sub.enabled = getattr(self, "kf_" + slot.lower())
            sub.prop(self, "kf_" + slot.lower() + "_frame", text="")
        layout.prop(self, "zero_root_rotation")


def add_key_frame_properties(cls):
    """A check box and a frame number per swing key frame, on an operator class."""
    for slot in KEY_FRAMES:
        cls.__annotations__["kf_" + slot.lower()] = BoolProperty(name=slot, default=False)
        cls.__annotations__["kf_" + slot.lower() + "_frame"] = IntProperty(name=slot + " frame", default=1)
    return cls


def run_vloexport(operator, context, objects, output, flags, clip=""):
    """Writes objects to a temporary glTF file, runs vloexport on it and reports what it said. Returns
    the operator's result."""
    LAST_REPORT.clear()

    def report(level, text):
        LAST_REPORT.append((level, text))
        operator.report({level}, text)

    program = vloexport_program(context)
    if not program or not os.path.isfile(program):
        report("ERROR", "vloexport was not found: install it, or give its location in the add-on's preferences")
        return {"CANCELLED"}
    with tempfile.TemporaryDirectory(prefix="vlo-blender-") as folder:
        scene_file = os.path.join(folder, "scene.gltf")
        report_file = os.path.join(folder, "report.json")
        selected = list(context.selected_objects)
        active = context.view_layer.objects.active
        try:
            for o in context.view_layer.objects:
                o.select_set(o in objects)
            bpy.ops.export_scene.gltf(
                filepath=scene_file, export_format="GLTF_SEPARATE", use_selection=True, export_extras=True,
                export_yup=True, export_apply=True, export_animations=operator.animation, export_frame_range=True,
                export_force_sampling=True, export_nla_strips=False, export_nla_strips_merged_animation_name=clip or "Animation",
                export_current_frame=False, export_skins=True,
                export_all_influences=False, export_morph=False, export_cameras=False, export_lights=False)
        finally:
            for o in context.view_layer.objects:
                o.select_set(o in selected)
            context.view_layer.objects.active = active
        command = [program, scene_file, "-o", bpy.path.abspath(output), "--report", report_file] + flags
        run = subprocess.run(command, capture_output=True, text=True)
        try:
            with open(report_file) as f:
                asset = json.load(f)["assets"][0]
        except (OSError, ValueError, KeyError, IndexError):
            report("ERROR", "vloexport did not export: " + (run.stderr.strip() or "exit status %d" % run.returncode))
            return {"CANCELLED"}
    for d in asset["diagnostics"]:
        text = d["text"] + (" (%s)" % d["explanation"] if d["explanation"] else "")
        report("ERROR" if d["severity"] == "error" else "WARNING", text)
    if asset["status"] != "exported":
        return {"CANCELLED"}
    counts = asset["counts"]
    parts = ["%d %s" % (counts[k], k) for k in ("vertices", "polygons", "bones", "frames", "markers") if counts.get(k)]
    written = asset["outputs"][0]["path"] if asset["outputs"] else output
    report("INFO", "Wrote %s: %s" % (written, ", ".join(parts)))
    return {"FINISHED"}


@add_key_frame_properties
class ExportVLO(bpy.types.Operator, ExportHelper, ExportOptions):
    """Export the selected objects as a golf model (.vlo)"""
    bl_idname = "export_scene.vlo"
    bl_label = "Export golf model"
    bl_options = {"PRESET"}
    filename_ext = ".vlo"
    filter_glob: StringProperty(default="*.vlo", options={"HIDDEN"})
    animation = False

    mode: EnumProperty(
        name="Export",
        items=(("shape", "Shape", "A static model"), ("hierarchy", "Hierarchy", "A skinned model with its bones")),
        default="shape",
    )

    def invoke(self, context, event):
        self.prepare(context)
        return ExportHelper.invoke(self, context, event)

    def execute(self, context):
        self.prepare(context)
        meshes = [o for o in context.selected_objects if o.type == "MESH" and o.name.lower() != "yardstick"]
        if not meshes:
            return refuse(self, "Select the mesh objects to export")
        objects = set(meshes) | {o for o in context.scene.objects if o.name in root_empties(context.scene)}
        objects |= {o for o in context.scene.objects if o.name.lower() == "yardstick"}
        if self.mode == "hierarchy":
            armature = armature_of(meshes[0])
            if armature is None:
                return refuse(self, "'%s' is not bound to an armature" % meshes[0].name)
            objects |= {armature} | set(armature.children_recursive)
        flags = ["--mode", self.mode] + self.common_flags(key_frames=False)
        flags += ["--select", meshes[0].name] if len(meshes) == 1 else ["--all"]
        self.write_key_frames_back(self.key_frame_object(context))
        return run_vloexport(self, context, objects, self.filepath, flags)

    def draw(self, context):
        self.layout.prop(self, "mode")
        self.draw_common(self.layout)


@add_key_frame_properties
class ExportVLA(bpy.types.Operator, ExportHelper, ExportOptions):
    """Export the active armature's action as a golf animation (.vla)"""
    bl_idname = "export_anim.vla"
    bl_label = "Export golf animation"
    bl_options = {"PRESET"}
    filename_ext = ".vla"
    filter_glob: StringProperty(default="*.vla", options={"HIDDEN"})
    animation = True

    action: StringProperty(name="Action", description="The action to export (the armature's own when empty)")
    frame_start: IntProperty(name="First frame", default=-1, description="Blender's frame number (-1: the scene's)")
    frame_end: IntProperty(name="Last frame", default=-1, description="Blender's frame number (-1: the scene's)")

    def key_frame_object(self, context):
        return armature_of(context.active_object)

    def invoke(self, context, event):
        self.prepare(context)
        armature = armature_of(context.active_object)
        if armature and armature.animation_data and armature.animation_data.action and not self.action:
            self.action = armature.animation_data.action.name
        if self.frame_start < 0:
            self.frame_start = context.scene.frame_start
        if self.frame_end < 0:
            self.frame_end = context.scene.frame_end
        return ExportHelper.invoke(self, context, event)

    def execute(self, context):
        self.prepare(context)
        armature = armature_of(context.active_object)
        if armature is None:
            return refuse(self, "Make an armature (or an object it deforms) the active object")
        data = armature.animation_data
        previous = data.action if data else None
        if self.action:
            if self.action not in bpy.data.actions:
                return refuse(self, "No action named '%s'" % self.action)
            armature.animation_data_create().action = bpy.data.actions[self.action]
        if armature.animation_data is None or armature.animation_data.action is None:
            return refuse(self, "'%s' has no action to export" % armature.name)
        scene = context.scene
        first = scene.frame_start if self.frame_start < 0 else self.frame_start
        last = scene.frame_end if self.frame_end < 0 else self.frame_end
        objects = {armature} | set(armature.children_recursive)
        objects |= {o for o in scene.objects if o.name in root_empties(scene) or o.name.lower() == "yardstick"}
        fps = round(scene.render.fps / scene.render.fps_base)
        flags = ["--mode", "animation", "--clip", armature.animation_data.action.name, "--range", "%d:%d" % (first, last),
                 "--fps", str(fps), "--select", armature.name] + self.common_flags(key_frames=True)
        self.write_key_frames_back(armature)
        # The scene's range is what glTF export samples: set to the asked frames while exporting.
        saved = (scene.frame_start, scene.frame_end)
        scene.frame_start, scene.frame_end = first, last
        try:
            return run_vloexport(self, context, objects, self.filepath, flags, armature.animation_data.action.name)
        finally:
            scene.frame_start, scene.frame_end = saved
            if self.action and previous is not None:
                armature.animation_data.action = previous

    def draw(self, context):
        layout = self.layout
        layout.prop_search(self, "action", bpy.data, "actions")
        row = layout.row()
        row.prop(self, "frame_start")
        row.prop(self, "frame_end")
        self.draw_common(layout)


def menu_model(self, context):
    self.layout.operator(ExportVLO.bl_idname, text="Golf model (.vlo)")


def menu_animation(self, context):
    self.layout.operator(ExportVLA.bl_idname, text="Golf animation (.vla)")


CLASSES = (VLOPreferences, VLOMarker, ExportVLO, ExportVLA)


def register():
    for cls in CLASSES:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_export.append(menu_model)
    bpy.types.TOPBAR_MT_file_export.append(menu_animation)


def unregister():
    bpy.types.TOPBAR_MT_file_export.remove(menu_animation)
    bpy.types.TOPBAR_MT_file_export.remove(menu_model)
    for cls in reversed(CLASSES):
        bpy.utils.unregister_class(cls)
