# Writes importer_scene.fbx, the FBX file of the importer tests, with Blender in background mode:
#   blender --background --factory-startup --python make_fbx.py -- importer_scene.fbx
# Three cubes, each with one corner pulled out into a spike at local (1, 1, 3) so that turns show,
# turned 90 degrees about X, Y and Z; the first with two materials (two textures); and an empty with
# a custom property.
import math
import sys

import bpy

out = sys.argv[sys.argv.index("--") + 1]
bpy.ops.wm.read_factory_settings(use_empty=True)
scene = bpy.context.scene
scene.unit_settings.system = 'METRIC'


def textured_material(name, image_name):
    mat = bpy.data.materials.new(name)
    mat.use_nodes = True
    tree = mat.node_tree
    tex = tree.nodes.new("ShaderNodeTexImage")
    tex.image = bpy.data.images.new(image_name, 4, 4)
    tex.image.filepath = "//" + image_name
    tex.image.source = 'FILE'
    tree.links.new(tex.outputs["Color"], tree.nodes["Principled BSDF"].inputs["Base Color"])
    return mat


def cube(name, location, rotation):
    bpy.ops.mesh.primitive_cube_add(size=2.0, location=location, rotation=rotation)
    obj = bpy.context.active_object
    obj.name = name
    obj.data.name = name + "Mesh"
    for v in obj.data.vertices:
        if tuple(round(c) for c in v.co) == (1, 1, 1):
            v.co.z = 3.0
    return obj


tx = cube("TurnX", (0, 0, 0), (math.radians(90), 0, 0))
tx.data.materials.append(textured_material("Red", "red.png"))
tx.data.materials.append(textured_material("Blue", "blue.png"))
for i, poly in enumerate(tx.data.polygons):
    poly.material_index = 1 if i >= 3 else 0
ty = cube("TurnY", (5, 0, 0), (0, math.radians(90), 0))
ty.data.materials.append(bpy.data.materials["Red"])
tz = cube("TurnZ", (0, 5, 0), (0, 0, math.radians(90)))
tz.data.materials.append(bpy.data.materials["Blue"])

bpy.ops.object.empty_add(type='PLAIN_AXES', location=(1, 2, 3))
marker = bpy.context.active_object
marker.name = "Marker"
marker["note"] = "KEYFRAME 12 BALL_STRUCK"

bpy.ops.export_scene.fbx(filepath=out, use_custom_props=True, path_mode='STRIP', add_leaf_bones=False,
                         bake_anim=False)
