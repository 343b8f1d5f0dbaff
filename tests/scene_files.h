// Small scene files written by the tests themselves, one per text format.
#pragma once

#include <string>

namespace support {

// A glTF 2.0 file (buffers inline as a data: URI) with:
//  - "Box": a unit cube standing on the ground (y from 0 to 1), two primitives with the materials
//    "Grass" (texture grass.png) and "Stone" (stone.png, normal map stone_n.png, its uri written
//    "stone%5Fn.png" as a uri may escape any character), turned 90 degrees
//    about X and moved to (0, 0, -3) when turned is set;
//  - "Spin": the same cube's first primitive, turned 90 degrees about Y, child of "Group", with an
//    empty child "Tip" 1 up;
//  - "Group": an empty node with extras {"note": "KEYFRAME 12 BALL_STRUCK"};
//  - "Pin": an empty top-level node at (1, 2, 3).
void WriteGltf(const std::string& path, bool turned = false);

// An OBJ with an MTL: "Box" (unit cube, faces of materials "Red" (red.tga) and "Blue" (blue.tga)) and
// "Tri" (one triangle, material "Blue").
void WriteObj(const std::string& folder);

// A COLLADA file, Z-up: "Box" (a triangle pair turned 90 degrees about Z, at (4, 0, 0)), a child
// node "Empty" with no geometry.
void WriteCollada(const std::string& path);

// A skinned glTF: "Body" (four vertices, two triangles, skin of joints "Hips" and "Spine") and the
// joints: "Hips" at (0, 1, 0), "Spine" at (0, 1, 0) from Hips. The bind pose has both joints
// unrotated; the file's pose turns Spine 90 degrees about the file's Z. Weights: vertices 0 and 1 on
// Hips; vertex 2 0.75 Spine + 0.25 Hips; vertex 3 on Spine. An unweighted joint "Tip" hangs below
// Spine at (0, 1, 0).
void WriteSkinnedGltf(const std::string& path);

// A skinned glTF as Blender's glTF exporter writes a mesh some of whose vertices have no weight
// (when generator is Blender's): "Body" (four vertices, two triangles), vertices 0 and 1 on the joint
// "Bone", vertices 2 and 3 on the joint "neutral_bone", both joints at the origin below "Rig".
void WriteNeutralBoneGltf(const std::string& path, const std::string& generator);

// Two rigs as Blender's glTF exporter writes them: "Left" at (-2, 0, 0) and "Right" at (2, 0, 0),
// each with one bone named "Bone" and a triangle below it skinned to that bone ("LeftBody",
// "RightBody"); the clip "RightAction" (1 s) turns Right's bone.
void WriteTwoRigsGltf(const std::string& path);

// A glTF file of a skeleton "Rig" whose `bones` child bones "B0", "B1", ... stand side by side, and
// a triangle "Body" skinned to them (its vertices to the first).
void WriteManyBonesGltf(const std::string& path, int bones);

// An animated glTF skeleton (no mesh): "Hips" (root, at (0, 1, 0)) -> "Spine" (0, 1, 0) -> "Head"
// (0, 0.5, 0), an empty top-level node "Ball" at (1, 0, 0), and two clips:
//  - "Swing" (1.2 s): Hips moves 2 units along +X; Spine turns about X through 0, 60 and 150 degrees
//    at 0, 0.5 and 1.2 s; Head turns about Y through 0 and -90 degrees at 0.1 and 0.9 s;
//  - "Idle" (0.4 s): Spine turns 10 degrees about Z.
void WriteAnimatedGltf(const std::string& path);

// A glTF with what a model has no place for: "Face" (a unit quad in the file's XY plane, y from 0 to
// 1, with a second UV map, vertex colours and the shape key "Smile" that lifts its top edge by 1
// along y, at weight 0.7), "Plain" (a triangle, positions alone, at (3, 0, 0)), the skeleton "Hips" (at
// (0, 1, 0)) -> "Spine" (0, 1, 0), the empty "Flag" at (0, 0, 2), and the clip "Talk" (1 s), which
// turns Spine about the file's Y and scales it from 1 to 1.5, keys Smile's weight from 0.7 to 0,
// slides Plain to (4, 0, 0) and Flag to (1, 0, 2); and the clip "Smile", which keys Smile's weight
// alone (frames 0 and 3 at 24 fps).
void WriteShapeKeyGltf(const std::string& path);

// A glTF skeleton keyed as Blender writes it with sampling off, on frames 1, 7 and 13 of 24 fps:
// "Hips" (root) -> an unnamed node at (0, 1, 0) whose rotation steps (STEP) about X through 0, 30
// and 60 degrees -> "Tip" at (0, 1, 0), whose translation is a cubic spline (CUBICSPLINE) through
// y = 1, 2 and 1. No channel of the clip "Steps" has a key at time 0.
void WriteSteppedGltf(const std::string& path);

// The turn of bone j (1..bones) of WriteLongChainGltf on frame k, in degrees about the file's X axis.
inline double LongChainDegrees(int j, int k) { return 10.0 * j + 0.02 * j * k; }

// A glTF chain "Root" -> "Bone1" -> ... -> "Bone<bones>", each bone (0, 1, 0) from its parent, and
// one clip "Long" that keys every bone's rotation on each of frames 0 to frames - 1 (30 fps): bone j
// turns about the file's X axis by LongChainDegrees(j, k) on frame k.
void WriteLongChainGltf(const std::string& path, int bones, int frames);

// A skinned, animated glTF whose vertex data, weights and rotation keys are integers (integers set),
// as gltfpack and some engines' exporters write them, or the same values as floats: "Body" (a quad
// of four vertices, (0, 0, 0) to (1, 2, 0), normals +z, UVs with the values 0, 0.2, 0.6 and 1),
// skinned to "Hips" (root, at the origin) and "Spine" (0, 1, 0) from it: vertices 0 and 1 on Hips,
// vertex 2 0.6 Hips + 0.4 Spine, vertex 3 on Spine. The clip "Twist" (2 s) turns Spine about the
// file's Z through 0, 180 and 360 degrees. The integer file's last vertex comes from a sparse
// substitution.
void WriteIntegerDataGltf(const std::string& path, bool integers);

}  // namespace support
