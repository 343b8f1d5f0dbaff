// A VLO model as data: what the file holds, record for record, plus what only its information text
// shows. The model pass produces one, the writer turns it into bytes and text, the reader gives one
// back from bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "format/records.h"

namespace vlo {

// A run of polygons sharing one texture id (the file carries the grouping through the polygons'
// order; the information text lists the runs).
struct IndexBuffer {
    std::int32_t textureId = -1;
    std::uint32_t numPolys = 0;
    bool operator==(const IndexBuffer&) const = default;
};

// One texture map as the information text's material listing shows it.
struct ListedMap {
    std::string name;
    std::string className;
    int slot = 0;
    bool isBitmap = false;   // a bitmap texture: the three fields below apply
    std::string bitmapPath;  // the file name as the material stores it
    bool inverted = false;
    int filter = 0;          // 0 pyramidal, 1 summed area, other: none
    std::vector<ListedMap> subMaps;  // in slot order; their slot is their index
    bool operator==(const ListedMap&) const = default;
};

// One material (or sub-material) of the listing, with its enabled maps and its sub-materials.
struct ListedMaterial {
    std::string name;
    std::string className;
    std::vector<ListedMap> maps;
    int numSubMaterials = 0;  // as the material reports it; empty slots are not in subs
    std::vector<std::pair<int, ListedMaterial>> subs;  // sub-material number, material
    bool operator==(const ListedMaterial&) const = default;
};

// What the information text prints that the file does not hold.
struct ModelTextInfo {
    float worldScale = 1.0f;                 // scene units per metre
    std::vector<ListedMaterial> materials;   // the scene's materials, in collection order
    std::vector<Vec3> linkPositions;         // per vertex of a skinned model: its rebuilt position (world
                                             // units, axes as exported)
    std::vector<std::string> boneNames;      // the bones' whole names (the file cuts them to 32 bytes)
    std::vector<std::string> markerNames;    // the markers' whole names
    bool operator==(const ModelTextInfo&) const = default;
};

struct VloModel {
    std::uint32_t flags = 0;  // kFlagNoCollisions | kFlagHierarchy | kFlagSemiTransparent
    std::vector<BoneRecord> bones;        // written (hierarchy chunk) when flags has kFlagHierarchy
    std::vector<TextureName> textures;    // texture id order
    std::optional<TextureName> sound;
    std::vector<ModelVertex> vertices;
    std::vector<VertexLinks> links;       // one per vertex, written when flags has kFlagHierarchy
    std::vector<ModelPolygon> polygons;   // grouped by texture id, -1 first
    std::vector<IndexBuffer> indexBuffers;
    std::optional<TextureName> bumpMap;   // written together with tangents, one per vertex
    std::vector<TangentFrame> tangents;
    std::optional<TextureName> specularMap;
    std::vector<MarkerRecord> markers;    // written when not empty
    ModelTextInfo text;
    // How far re-centring moved the vertices (the markers stay where they are); not in the file.
    Vec3 recentring;
    // The export origin subtracted from world positions (scene units, host axes); not in the file.
    Vec3 origin;

    bool IsHierarchy() const { return (flags & kFlagHierarchy) != 0; }
    // The smallest and the largest vertex coordinates, axis by axis; the model must have vertices.
    std::pair<Vec3, Vec3> VertexBounds() const;
    bool operator==(const VloModel&) const = default;
};

// The runs of equal texture ids of polygons, in order.
std::vector<IndexBuffer> IndexBuffersOf(const std::vector<ModelPolygon>& polygons);

}  // namespace vlo
