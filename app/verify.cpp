#include "app/verify.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "app/selection.h"
#include "core/export_space.h"
#include "format/vla_reader.h"
#include "format/vlo_reader.h"
#include "geometry/tri_mesh.h"
#include "skin/bones.h"
#include "skin/figure_mode.h"

namespace app {
namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

double Distance(const vlo::Vec3& a, const vlo::Vec3& b) {
    return std::max({std::fabs(double(a.x) - b.x), std::fabs(double(a.y) - b.y), std::fabs(double(a.z) - b.z)});
}

// The records both files hold, compared one by one (what only the information text shows is left out).
bool SameRecords(const vlo::VloModel& a, const vlo::VloModel& b) {
    return a.flags == b.flags && a.bones == b.bones && a.textures == b.textures && a.sound == b.sound &&
           a.vertices == b.vertices && a.links == b.links && a.polygons == b.polygons && a.bumpMap == b.bumpMap &&
           a.tangents == b.tangents && a.specularMap == b.specularMap && a.markers == b.markers;
}

bool SameRecords(const vlo::VlaAnimation& a, const vlo::VlaAnimation& b) {
    return a.header == b.header && a.frames == b.frames && a.keys == b.keys && a.markers == b.markers;
}

bool ReadBack(const std::string& file, Verification& v, std::vector<std::uint8_t>& bytes) {
    std::string error;
    if (!vlo::ReadFileBytes(file, bytes, error)) {
        v.failures.push_back("the written file cannot be read back (" + error + ")");
        return false;
    }
    return true;
}

// The texture id and corner order the file's rules give a source face.
struct Faces {
    std::vector<int> order;     // source face indices in the file's polygon order: by texture id, stable
    std::vector<int> textureOf;  // per source face
};

Faces InFileOrder(Mesh& mesh, std::size_t textures) {
    Faces faces;
    const bool mapped = !mesh.tvFace.empty();
    for (int f = 0; f < mesh.getNumFaces(); ++f)
        faces.textureOf.push_back(mapped && textures > 0 ? int(unsigned(mesh.faces[std::size_t(f)].getMatID()) % unsigned(textures))
                                                         : -1);
    for (int id = -1; id < int(textures); ++id)
        for (int f = 0; f < mesh.getNumFaces(); ++f)
            if (faces.textureOf[std::size_t(f)] == id) faces.order.push_back(f);
    return faces;
}

// Per mesh vertex, the real bone weights of a Skin (the weights that pass the Skin's threshold,
// clamped to 1), by bone name.
std::vector<std::map<std::string, double>> SkinWeights(standin::Node& node, int vertices) {
    std::vector<std::map<std::string, double>> out(std::size_t(std::max(vertices, 0)));
    ISkin* skin = SkinOf(node);
    ISkinContextData* context = skin ? skin->GetContextInterface(&node) : nullptr;
    if (!context) return {};
    for (int v = 0; v < vertices && v < context->GetNumPoints(); ++v)
        for (int j = 0; j < context->GetNumAssignedBones(v); ++j) {
            const float w = context->GetBoneWeight(v, j);
            INode* bone = skin->GetBone(context->GetAssignedBone(v, j));
            if (!(w > 0.0001f) || !bone || !bone->GetName()) continue;
            const char* name = bone->GetName();
            out[std::size_t(v)][std::string(name, vlo::FittingLength(name, vlo::kNameBytes))] += std::min(w, 1.0f);
        }
    return out;
}

// The angle between two rotations given as quaternions (q and -q the same rotation), from the chord
// between them, which keeps its precision for small angles where acos of the dot product does not.
double AngleBetween(const Quat& a, const vlo::BoneKey& b) {
    double minus = 0, plus = 0;
    const double d[4][2] = {{a.x, b.x}, {a.y, b.y}, {a.z, b.z}, {a.w, b.w}};
    for (const auto& [x, y] : d) minus += (x - y) * (x - y), plus += (x + y) * (x + y);
    const double chord = std::sqrt(std::min(minus, plus));  // |q1 - q2| = 2 sin(angle / 4)
    return 4 * std::asin(std::min(1.0, chord / 2));
}

// The inverse of a 3x3 matrix by cofactors.
void Invert(const double (&m)[3][3], double (&out)[3][3]) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
            out[i][j] = (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]) / det;
        }
}

}  // namespace

Verification VerifyModel(const std::string& file, const vlo::VloModel& made, standin::Node& node,
                         const vlo::ExportSettings& settings, const Tolerances& tolerances) {
    Verification v;
    v.checked = true;
    std::vector<std::uint8_t> bytes;
    if (!ReadBack(file, v, bytes)) return v;
    const vlo::VloReadResult read = vlo::ReadVlo(bytes);
    if (!read.Valid()) {
        v.failures.push_back("the written file does not read back as a valid model: " + read.findings.front().text);
        return v;
    }
    v.readsBack = SameRecords(read.model, made);
    if (!v.readsBack) v.failures.push_back("the file read back differs from the model the exporter made");
    const vlo::VloModel& m = read.model;

    vlo::TriMeshHandle tri;
    if (tri.Obtain(&node, 0) != vlo::TriMeshStatus::Ok) {
        v.failures.push_back("object '" + node.Name() + "' no longer gives a mesh to compare with");
        return v;
    }
    Mesh& mesh = tri.GetMesh();
    mesh.RemoveDegenerateFaces();
    mesh.RemoveIllegalFaces();
    mesh.buildNormals();

    // The file's rules: world corner -> minus the origin, axes, scale, plus the re-centring; corners in
    // reverse order for a mirroring transform, the second and third exchanged by the axis swap.
    const Matrix3 objectTM = node.GetObjTMAfterWSM(0);
    const vlo::NormalTransform toWorld(objectTM);
    const vlo::ExportSpace space(Point3(made.origin.x, made.origin.y, made.origin.z), made.text.worldScale, settings.swapYZ);
    int corners[3] = {0, 1, 2};
    if (vlo::IsMirrored(objectTM)) std::swap(corners[0], corners[2]);
    if (settings.swapYZ) std::swap(corners[1], corners[2]);

    if (!m.vertices.empty()) {
        const auto [lo, hi] = m.VertexBounds();
        v.modelSize = Distance(lo, hi);
    }
    const Faces faces = InFileOrder(mesh, m.textures.size());
    const bool mapped = !mesh.tvFace.empty() && !m.textures.empty();
    const auto weights = made.IsHierarchy() ? SkinWeights(node, mesh.getNumVerts())
                                            : std::vector<std::map<std::string, double>>{};
    v.triangles = faces.order.size();
    if (m.polygons.size() != faces.order.size())
        v.missingTriangles = faces.order.size() > m.polygons.size() ? faces.order.size() - m.polygons.size() : 0;
    std::vector<char> weightChecked(m.vertices.size());
    for (std::size_t i = 0; i < std::min(m.polygons.size(), faces.order.size()); ++i) {
        const int f = faces.order[i];
        const vlo::ModelPolygon& polygon = m.polygons[i];
        if (polygon.textureId != faces.textureOf[std::size_t(f)]) {
            ++v.missingTriangles;
            continue;
        }
        const Face& face = mesh.faces[std::size_t(f)];
        for (int k = 0; k < 3; ++k) {
            const int c = corners[k];
            const DWORD vi = face.v[c];
            if (polygon.verts[k] >= m.vertices.size()) {
                ++v.missingTriangles;
                break;
            }
            const vlo::ModelVertex& out = m.vertices[polygon.verts[k]];
            ++v.corners;
            vlo::Vec3 position = space.Point(mesh.getVert(int(vi)) * objectTM);
            position = {position.x + made.recentring.x, position.y + made.recentring.y, position.z + made.recentring.z};
            const Point3 normal = toWorld(vlo::GetVertexNormal(mesh, f, mesh.getRVert(int(vi))));
            v.worstPosition = std::max(v.worstPosition, Distance(out.position, position));
            v.worstNormal = std::max(v.worstNormal, Distance(out.normal, space.Direction(normal)));
            float u = 0, w = 0;
            if (mapped) {
                const Point3& tv = mesh.tVerts[mesh.tvFace[std::size_t(f)].t[c]];
                u = tv.x, w = 1.0f - tv.y;
            }
            v.worstUv = std::max({v.worstUv, std::fabs(double(out.u) - u), std::fabs(double(out.v) - w)});
            // A welded vertex keeps the links of one of its corners: each corner's real weights must be
            // the ones the file gives its vertex, on bones of the same names.
            if (!weights.empty() && polygon.verts[k] < m.links.size() && vi < weights.size()) {
                const vlo::VertexLinks& links = m.links[polygon.verts[k]];
                double fileSum = 0, sourceSum = 0;
                bool bonesKnown = true;
                for (int l = 0; l < links.numLinks && l < 4; ++l) {
                    fileSum += links.weights[l];
                    const std::size_t id = links.boneIds[l];
                    bonesKnown &= id < m.bones.size() && weights[vi].count(vlo::FieldText(m.bones[id].name)) == 1;
                }
                for (const auto& [name, weight] : weights[vi]) sourceSum += weight;
                const double error = std::fabs(fileSum - sourceSum);
                v.worstWeight = std::max(v.worstWeight, error);
                if (!weightChecked[polygon.verts[k]]) ++v.weightedVertices;
                weightChecked[polygon.verts[k]] = 1;
                if (!bonesKnown || error > tolerances.weight) ++v.unaccountedWeights;
            }
        }
    }
    const double positionTolerance = tolerances.relativePosition * std::max(v.modelSize, 1e-6);
    if (v.missingTriangles)
        v.failures.push_back(std::to_string(v.missingTriangles) + " of " + std::to_string(v.triangles) +
                             " source triangles have no polygon with their texture in the file");
    if (v.worstPosition > positionTolerance)
        v.failures.push_back("a corner lies " + Number(v.worstPosition) + " from its vertex (tolerance " +
                             Number(positionTolerance) + ")");
    if (v.worstNormal > tolerances.direction)
        v.failures.push_back("a corner's normal differs by " + Number(v.worstNormal) + " from its vertex's");
    if (v.worstUv > tolerances.uv)
        v.failures.push_back("a corner's texture coordinate differs by " + Number(v.worstUv) + " from its vertex's");
    if (v.unaccountedWeights)
        v.failures.push_back(std::to_string(v.unaccountedWeights) + " corners have weights or bones that the file does "
                             "not give their vertex (worst weight difference " + Number(v.worstWeight) + ")");
    return v;
}

Verification VerifyAnimation(const std::string& file, const vlo::VlaAnimation& made, standin::Node& root,
                             const vlo::ExportSettings& settings, const Tolerances& tolerances) {
    Verification v;
    v.checked = true;
    std::vector<std::uint8_t> bytes;
    if (!ReadBack(file, v, bytes)) return v;
    const vlo::VlaReadResult read = vlo::ReadVla(bytes);
    if (!read.Valid()) {
        v.failures.push_back("the written file does not read back as a valid animation: " + read.findings.front().text);
        return v;
    }
    v.readsBack = SameRecords(read.animation, made);
    if (!v.readsBack) v.failures.push_back("the file read back differs from the animation the exporter made");
    const vlo::VlaAnimation& a = read.animation;

    struct Quiet final : vlo::NoticeSink {
        void Report(const vlo::Notice&) override {}
    } quiet;
    vlo::FigureMode figure;
    const vlo::BoneList bones = vlo::BuildBoneList(&root, figure, quiet);
    if (bones.nodes.size() != a.header.numBones) {
        v.failures.push_back("the skeleton has " + std::to_string(bones.nodes.size()) + " bones, the file " +
                             std::to_string(a.header.numBones));
        return v;
    }
    const vlo::VlaAnimation::Sampling& s = made.sampling;
    const vlo::ExportSpace space(Point3(0, 0, 0), s.worldScale, settings.swapYZ);
    const Point3 reference = root.GetNodeTM(TimeValue(s.referenceTime)).GetTrans();
    // The rotation part of a transform, in double precision: each axis made unit length.
    auto rotationOf = [](const Matrix3& m, double (&r)[3][3]) {
        for (int i = 0; i < 3; ++i) {
            const double len = std::sqrt(double(m[i].x) * m[i].x + double(m[i].y) * m[i].y + double(m[i].z) * m[i].z);
            r[i][0] = m[i].x / len, r[i][1] = m[i].y / len, r[i][2] = m[i].z / len;
        }
    };
    for (std::size_t k = 0; k < a.frames.size(); ++k) {
        const TimeValue t = TimeValue((s.startFrame + int(k)) * s.ticksPerFrame);
        // The root's travel on the ground since the reference time, turned by the root turn.
        const Point3 p = root.GetNodeTM(t).GetTrans();
        const vlo::Vec3 travel = space.Offset(Point3(p.x - reference.x, p.y - reference.y, p.z) * RotateZMatrix(s.rootTurn));
        v.worstRootPosition = std::max(v.worstRootPosition, Distance(a.frames[k].rootPosition, travel));
        // Each bone below the root: its rotation part times the inverse of its parent's (not a
        // transpose: under a non-uniform scale the rotation parts are not orthogonal).
        for (std::size_t b = 1; b < bones.nodes.size(); ++b) {
            double world[3][3], parent[3][3], inverse[3][3];
            rotationOf(bones.nodes[b]->GetNodeTM(t), world);
            rotationOf(bones.nodes[b]->GetParentTM(t), parent);
            Invert(parent, inverse);
            Matrix3 local;
            for (int i = 0; i < 3; ++i) {
                double row[3] = {0, 0, 0};
                for (int j = 0; j < 3; ++j)
                    for (int c = 0; c < 3; ++c) row[j] += world[i][c] * inverse[c][j];
                local[i] = Point3(float(row[0]), float(row[1]), float(row[2]));
            }
            Quat q(local);
            if (settings.swapYZ) std::swap(q.y, q.z);
            const vlo::BoneKey& key = a.Key(k, b);
            v.worstRotation = std::max(v.worstRotation, AngleBetween(q, key));
            ++v.samples;
        }
    }
    if (v.worstRotation > tolerances.rotation)
        v.failures.push_back("a bone's rotation differs by " + Number(v.worstRotation) + " rad from the scene's");
    if (v.worstRootPosition > tolerances.rootPosition)
        v.failures.push_back("the root's travel differs by " + Number(v.worstRootPosition) + " m from the scene's");
    return v;
}

}  // namespace app
