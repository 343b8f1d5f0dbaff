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
    // The animation clip to apply (default: the first), the frame rate (0: the file's for FBX, else
    // 30) and the frame range (default: the clip's, from frame 0).
    std::string clip;
    int fps = 0;
    std::optional<std::pair<int, int>> range;
    // When set, this node becomes a biped root: the scene keeps the file's pose and the biped's figure
    // mode shows the bind pose (the pose option is then not applied).
    std::string bipedRoot;
};

struct ClipInfo {
    std::string name;
    double seconds = 0;
    unsigned channels = 0;  // animated nodes
};

struct SceneInfo {
    std::string format;            // the assimp importer's name, e.g. "glTF2 Importer"
    char upAxis = 'Y';             // the axis the file was read as having up: 'Y' or 'Z'
    std::string upAxisSource;      // where that came from
    double unitScaleFactor = 0;    // FBX UnitScaleFactor (centimetres per unit); 0 when the file has none
    std::string skeletonPose;      // how skinned skeletons were posed; "" without skins
    std::vector<ClipInfo> clips;   // every clip of the file
    std::string clip;              // the clip applied, "" for none
    int fps = 30;                  // the scene's frame rate
    int firstFrame = 0, lastFrame = 100;  // the scene's animation range
    std::vector<std::string> warnings;
};

struct ImportResult {
    bool ok = false;
    std::string error;  // why the file could not be read
    SceneInfo info;
};

// Reads path into scene (which should be empty). Nothing is selected afterwards.
ImportResult ImportFile(const std::string& path, standin::Scene& scene, const ImportOptions& options = {});

}  // namespace importer
