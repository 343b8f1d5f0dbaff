// What assimp does not pass on of a glTF file: how each animation channel interpolates between its
// keys, where each animation's own keys begin and end (assimp gives a node's missing translation or
// scale a key of its own at time 0), and how each material's textures lie on the mesh.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace importer {

// The JSON of a glTF file: the whole of a .gltf, the first chunk of a .glb (its binary chunk is not
// read). Empty when the file cannot be read.
std::string GltfJson(const std::string& path);

// The relative file path a glTF uri names: its percent escapes decoded ("Golf%20Ball.png" is the
// file "Golf Ball.png"; Blender's glTF exporter escapes image names so). An escape that is not two
// hex digits, or that would give a control character, is kept as written.
std::string GltfUriPath(const std::string& uri);

enum class GltfInterpolation { Linear, Step, CubicSpline };

// The interpolation of one node's channels in one animation (Linear for a channel it does not have).
struct GltfNodeChannels {
    GltfInterpolation translation = GltfInterpolation::Linear;
    GltfInterpolation rotation = GltfInterpolation::Linear;
    GltfInterpolation scale = GltfInterpolation::Linear;
};

struct GltfAnimationFacts {
    // By the node's name as assimp gives it: its own, or "nodes[N]" for node N without one.
    std::map<std::string, GltfNodeChannels> nodes;
    // The earliest and the latest key time in seconds, as the file states them for the inputs of
    // its samplers (their accessors' min and max); none when a sampler's input does not state them.
    std::optional<std::pair<double, double>> span;
};

// A texture's placement on its UV map (KHR_texture_transform): the map's coordinates are scaled,
// then turned by rotation radians, then moved by the offset, in the file's texture space.
struct GltfUvTransform {
    double offsetU = 0, offsetV = 0, rotation = 0, scaleU = 1, scaleV = 1;
    bool operator==(const GltfUvTransform&) const = default;
};

// How a material's textures lie on its mesh.
struct GltfMaterialUvs {
    std::optional<GltfUvTransform> baseColor;  // the base colour texture's transform, when it has one
    unsigned baseColorUvMap = 0;               // the UV map the base colour texture is placed by
    // The normal map lies otherwise than the base colour texture (a transform or UV map of its own).
    bool normalPlacedOtherwise = false;
};

struct GltfFacts {
    std::vector<GltfAnimationFacts> animations;  // per animation, in the file's order (assimp's)
    std::vector<GltfMaterialUvs> materials;      // per material, in the file's order (assimp's)
    std::vector<std::string> files;              // the files its buffers and images name (GltfUriPath)
    // The extensions it requires that the import cannot read (UnreadableRequiredExtensions).
    std::vector<std::string> unreadableExtensions;
    // assimp must be given a copy of the file (AssimpNeedsACopy).
    bool assimpNeedsACopy = false;
    // Why its JSON does not parse; empty when it does.
    std::string jsonError;
};

// Every kind of facts from one reading of the JSON; none but jsonError for JSON that does not parse.
GltfFacts ReadGltfFacts(const std::string& json);

}  // namespace importer
