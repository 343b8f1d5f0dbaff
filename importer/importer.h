// Real scene files (FBX, glTF/GLB, COLLADA, OBJ and whatever else assimp reads) into the stand-in
// scene. The only module that includes assimp.
//
// What arrives: the node tree with names and transforms (the file's up axis turned into the host's
// Z-up at the top-level nodes, so vertices and local transforms stay as authored), one triangle mesh
// per node (the per-material pieces of a node recombined, with material ids and a multi/sub-object
// material), specified normals where the file has them, texture coordinates of the first channel,
// standard materials with their diffuse, bump and glossiness bitmaps, dummy objects for null and
// empty nodes, and node metadata as user-property text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "standin/scene.h"

namespace importer {

enum class UpAxis { FromFile, Y, Z };

// The pose a skeleton is read in: its bind (skinning) pose, from the inverse bind matrices, or the
// node transforms as the file stores them.
enum class SkeletonPose { Bind, File, Frame };

struct ImportOptions {
    // The file's up axis: FromFile reads it from the file's metadata (glTF is Y-up, COLLADA arrives
    // Y-up from assimp, FBX states it, OBJ states nothing and is taken as Y-up).
    UpAxis up = UpAxis::FromFile;
    SkeletonPose pose = SkeletonPose::Bind;
    int poseFrame = 0;  // with SkeletonPose::Frame: the animation frame the skeleton is read at
    // The clip to apply: its name (any case) or its number as listed (from 1). Empty: the only clip,
    // when the file has one; a file with several needs a choice when needsClip is set, and otherwise
    // applies none.
    std::string clip;
    bool needsClip = false;  // the export samples the animation (or poses the skeleton by it)
    // The frame rate (0: the file's for FBX, else inferred from the key times) and the frame range on
    // the file's timeline (default: the clip's span).
    int fps = 0;
    std::optional<std::pair<int, int>> range;
    // When set, this node becomes a biped root: the scene keeps the file's pose and the biped's figure
    // mode shows the bind pose (the pose option is then not applied).
    std::string bipedRoot;
    // Keep the file's own length unit instead of converting the scene to metres.
    bool fileUnits = false;
    // The export writes a model: warn about textures that are not beside the scene file. An
    // animation writes none, so it is not told about them, but about what it leaves out of the clip
    // (shape key and vertex animation).
    bool model = true;
    // The caller writes the images embedded in the file out itself: no advice to do so.
    bool extractingEmbedded = false;
};

struct ClipInfo {
    std::string name;
    int firstFrame = 0, lastFrame = 0;  // on the file's timeline, at fps
    double fps = 30;
    unsigned channels = 0;  // animated nodes
};

struct SceneInfo {
    std::string format;            // the assimp importer's name, e.g. "glTF2 Importer"
    char upAxis = 'Y';             // the axis the file was read as having up: 'Y' or 'Z'
    std::string upAxisSource;      // where that came from
    double unitScaleFactor = 0;    // FBX UnitScaleFactor (centimetres per unit); 0 when the file has none
    std::string unit;              // the file's unit in words, e.g. "centimetres, UnitScaleFactor 1"
    double metresPerUnit = 1;      // the factor the scene was multiplied by (1 with fileUnits)
    std::string skeletonPose;      // how skinned skeletons were posed; "" without skins
    std::vector<ClipInfo> clips;   // every clip of the file
    std::string clip;              // the clip applied, "" for none
    std::string clipSpan;          // how the applied clip's frames were found
    int fps = 30;                  // the scene's frame rate
    std::string fpsSource;         // where it came from
    int firstFrame = 0, lastFrame = 100;  // the scene's animation range
    std::vector<std::string> warnings;
};

// An image stored inside the scene file: the name the model gives it and its bytes as stored (an
// encoded image file, or raw texels when width and height are set).
struct EmbeddedImageFile {
    std::string name;
    std::vector<std::uint8_t> bytes;
    bool encoded = true;
};

// A warning about a node's mesh, such as what a model of it leaves out: given when an export takes
// that node's mesh (and by the scene's listing), not for every node of the scene.
struct NodeWarning {
    const standin::Node* node = nullptr;
    std::string text;  // begins "node 'NAME': "
};

// A node (no camera or light) that the applied clip drives: how far apart its keyed places lie (the
// diagonal of their box, in the scene's metres at its parent's scale on frame 0) and its keyed
// scales (the diagonal of theirs); 0 for a node the clip only turns.
struct NodeMotion {
    const standin::Node* node = nullptr;
    double metres = 0, scales = 0;
    // The nodes that took the keys of the clip's channel of this node's name, or the channels of
    // that name, whichever are more: a file that names a channel's node only cannot tell whose keys
    // they are when this is above 1.
    std::size_t sharers = 1;
};

struct ImportResult {
    enum class Failure { None, Unreadable, NeedsChoice, BadOption };
    bool ok = false;
    Failure failure = Failure::None;
    std::string error;  // why the file could not be used
    SceneInfo info;
    std::vector<NodeWarning> nodeWarnings;  // in the order the nodes were read
    std::vector<NodeMotion> motions;        // of the nodes the applied clip drives, in the order they were read
    std::vector<EmbeddedImageFile> embeddedImages;
    // The files the scene is made of: the file itself and every file it references that exists
    // (textures, glTF buffers, OBJ material libraries), as absolute paths, sorted.
    std::vector<std::string> usedFiles;
};

// Reads path into scene (which should be empty), converted to metres (unless options say otherwise)
// and to the host's Z-up axes. Nothing is selected afterwards.
ImportResult ImportFile(const std::string& path, standin::Scene& scene, const ImportOptions& options = {});

}  // namespace importer
