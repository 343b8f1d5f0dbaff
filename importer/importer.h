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

#include <string>
#include <vector>

#include "standin/scene.h"

namespace importer {

enum class UpAxis { FromFile, Y, Z };

// The pose a skeleton is read in: its bind (skinning) pose, from the inverse bind matrices, or the
// node transforms as the file stores them.
enum class SkeletonPose { Bind, File };

struct ImportOptions {
    // The file's up axis: FromFile reads it from the file's metadata (glTF is Y-up, COLLADA arrives
    // Y-up from assimp, FBX states it, OBJ states nothing and is taken as Y-up).
    UpAxis up = UpAxis::FromFile;
    SkeletonPose pose = SkeletonPose::Bind;
    // When set, this node becomes a biped root: the scene keeps the file's pose and the biped's figure
    // mode shows the bind pose (the pose option is then not applied).
    std::string bipedRoot;
};

struct SceneInfo {
    std::string format;            // the assimp importer's name, e.g. "glTF2 Importer"
    char upAxis = 'Y';             // the axis the file was read as having up: 'Y' or 'Z'
    std::string upAxisSource;      // where that came from
    double unitScaleFactor = 0;    // FBX UnitScaleFactor (centimetres per unit); 0 when the file has none
    std::string skeletonPose;      // how skinned skeletons were posed; "" without skins
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
