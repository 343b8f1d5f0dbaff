#include "geometry/model_pass.h"

#include <cmath>
#include <optional>
#include <cstdio>
#include <string>

#include "geometry/model_buffers.h"
#include "geometry/tangents.h"
#include "skin/bones.h"
#include "skin/vertex_links.h"

namespace vlo {
namespace {

bool IsFiniteVertex(const ModelVertex& v) {
    return IsFinite(v.position) && IsFinite(v.normal) && std::isfinite(v.u) && std::isfinite(v.v);
}

std::string NameOf(INode& node) { return node.GetName() ? node.GetName() : ""; }

// The bone list in the file's form; fails when its ids do not fit the links or a value is not finite.
Result<std::vector<BoneRecord>> ExportedBones(const BoneList& list, const ModelRequest& r) {
    // Vertex links name bones in 8 bits with 0xFF for "no bone": more bones would collide.
    if (list.records.size() > kMaxLinkedBones)
        return Notice::Stop("The hierarchy under '" + NameOf(*r.skin->skeleton.root) + "' has " +
                            std::to_string(list.records.size()) + " bones; a skinned model holds at most " +
                            std::to_string(kMaxLinkedBones) + ". Nothing was exported");
    std::vector<BoneRecord> bones = ExportBones(list, r.space);
    if (const int bad = FirstNonFiniteBone(bones); bad >= 0)
        return Notice::Stop("Bone '" + FieldText(bones[std::size_t(bad)].name) + "' has a non-finite transform. Nothing was exported",
                            FieldText(bones[std::size_t(bad)].name));
    return bones;
}

// Refuses buffers that would make a corrupt file: indices cut to 16 bits, vertices left behind by
// the skeleton, non-finite values.
std::optional<Notice> CheckBuffers(const ModelBuffers& b, bool skinned, const std::string& name) {
    if (b.vertices.size() > kMaxVertices)
        return Notice::Stop("Too many vertices in object '" + name + "': " + std::to_string(b.vertices.size()) +
                            " welded vertices, at most " + std::to_string(kMaxVertices) +
                            " fit the file. Nothing was exported");
    // A corner whose links could not be read was reported; its vertex keeps the links of another
    // corner. Only a vertex without any links would be left behind by the skeleton.
    std::size_t unlinked = 0;
    if (skinned)
        for (const VertexLinks& l : b.links) unlinked += l.numLinks == 0;
    if (unlinked != 0)
        return Notice::Stop("Object '" + name + "': " + std::to_string(unlinked) + " of " +
                            std::to_string(b.vertices.size()) + " vertices have no usable bone links (" +
                            std::to_string(b.linkFailures) + " corners failed). Nothing was exported");
    std::size_t nonFinite = 0;
    for (const ModelVertex& v : b.vertices) nonFinite += !IsFiniteVertex(v);
    if (nonFinite != 0)
        return Notice::Stop("Object '" + name + "' has " + std::to_string(nonFinite) +
                            " vertices with non-finite positions, normals or texture coordinates. "
                            "Nothing was exported");
    return std::nullopt;
}

// Moves the finished buffers into export space; fails when a position overflows there (a huge
// distance from the origin, a yardstick of almost no height).
std::optional<Notice> ToExportSpace(VloModel& m, const ExportSpace& space, const std::string& name) {
    for (ModelVertex& v : m.vertices) {
        v.position = space.Point(v.position);
        v.normal = space.Direction(v.normal);
    }
    for (ModelPolygon& p : m.polygons) space.Wind(p);
    for (TangentFrame& f : m.tangents) {
        f.tangent = space.Direction(f.tangent);
        f.binormal = space.Direction(f.binormal);
    }
    m.recentring = space.Recentre(m.vertices);
    m.origin = {space.Origin().x, space.Origin().y, space.Origin().z};
    std::size_t bad = 0;
    for (const ModelVertex& v : m.vertices) bad += !IsFinite(v.position);
    if (bad == 0) return std::nullopt;
    return Notice::Stop("Object '" + name + "': " + std::to_string(bad) +
                        " vertices are too far from the export origin for the scale " +
                        std::to_string(space.WorldScale()) + ". Nothing was exported");
}

std::string CountMessage(const char* format, std::size_t count) {
    char message[256];
    std::snprintf(message, sizeof message, format, int(count));
    return message;
}

// The bump map (with the tangents) and the specular map go into the file when asked for and when the
// material has exactly one of each.
void ChooseMaps(VloModel& m, const ExportSettings& s, const TextureTable& textures, NoticeSink& notices) {
    if (s.exportBumpMaps) {
        if (textures.bump.size() != 1)
            notices.Report(Notice::Error(CountMessage("Currently only support one bump map (found %d)", textures.bump.size())));
        else if (m.tangents.size() != m.vertices.size())
            notices.Report(Notice::Error("Number of tangents does not match number of vertices therefore excluding bump data"));
        else
            m.bumpMap = ToTextureName(textures.bump[0]);
    }
    if (!m.bumpMap) m.tangents.clear();
    if (s.exportSpecularMaps) {
        if (textures.specular.size() != 1)
            notices.Report(
                Notice::Error(CountMessage("Currently only support one specular map (found %d)", textures.specular.size())));
        else
            m.specularMap = ToTextureName(textures.specular[0]);
    }
}

Result<std::vector<MarkerRecord>> Markers(const std::vector<INode*>& nodes, const ExportSpace& space) {
    std::vector<MarkerRecord> records(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        INode* node = nodes[i];
        CopyBounded(records[i].name, node->GetName());
        records[i].position = space.Point(node->GetNodeTM(0).GetTrans());
        // A marker at an infinite or undefined place would put NaN into the game's file.
        if (!IsFinite(records[i].position))
            return Notice::Stop("Marker '" + NameOf(*node) + "' has a non-finite position. Nothing was exported", NameOf(*node));
    }
    return records;
}

}  // namespace

Result<VloModel> BuildModel(const ModelRequest& r, NoticeSink& notices) {
    const ExportSettings& s = r.settings;
    const bool skinned = s.mode == ExportMode::Hierarchy;
    const std::string name = NameOf(r.node);
    VloModel m;
    if (skinned) m.flags |= kFlagHierarchy;
    if (s.semiTransparent) m.flags |= kFlagSemiTransparent;
    if (s.noCollisions) m.flags |= kFlagNoCollisions;

    BoneList boneList;
    if (skinned) {
        boneList = BuildBoneList(r.skin->skeleton.root, r.figure, notices);
        auto bones = ExportedBones(boneList, r);
        if (!bones.Ok()) return bones.Failure();
        m.bones = std::move(*bones);
        for (INode* n : boneList.nodes) m.text.boneNames.push_back(NameOf(*n));
    }
    for (const std::string& name : r.textures.diffuse) m.textures.push_back(ToTextureName(name));

    std::optional<VertexLinkReader> links;
    if (skinned) links.emplace(*r.skin, boneList, r.space, notices);
    ModelBuffers buffers =
        BuildModelBuffers(r.mesh, r.node.GetObjTMAfterWSM(r.time), r.textures.diffuse.size(), links ? &*links : nullptr);
    if (auto refused = CheckBuffers(buffers, skinned, name)) return *refused;
    m.vertices = std::move(buffers.vertices);
    m.polygons = std::move(buffers.polygons);
    // Tangent frames sum over the faces in face order, before the polygons are regrouped.
    if (r.textures.WritesBump(s)) m.tangents = BuildTangentFrames(m.vertices, m.polygons);
    m.indexBuffers = GroupByTexture(m.polygons, m.textures.size());
    if (auto refused = ToExportSpace(m, r.space, name)) return *refused;

    if (s.hasSound) {
        TextureName sound;
        CopyBounded(sound.name, s.soundFile.c_str());
        m.sound = sound;
    }
    if (skinned) {
        // Each link record carries its vertex's own normal and position, as the vertex chunk does;
        // the text shows the position rebuilt from the links.
        m.links = std::move(buffers.links);
        m.text.linkPositions.reserve(m.links.size());
        for (std::size_t i = 0; i < m.links.size(); ++i) {
            m.text.linkPositions.push_back(m.links[i].position);
            m.links[i].normal = m.vertices[i].normal;
            m.links[i].position = m.vertices[i].position;
        }
    }
    ChooseMaps(m, s, r.textures, notices);
    auto markers = Markers(s.markers, r.space);
    if (!markers.Ok()) return markers.Failure();
    m.markers = std::move(*markers);
    for (INode* n : s.markers) m.text.markerNames.push_back(NameOf(*n));
    m.text.worldScale = r.space.WorldScale();
    return m;
}

}  // namespace vlo
