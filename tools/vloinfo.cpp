#include "tools/vloinfo.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <iomanip>

#include "format/vla_reader.h"
#include "format/vlo_reader.h"

namespace tools {
namespace {

using nlohmann::json;

json Vec(const vlo::Vec3& v) { return json::array({v.x, v.y, v.z}); }

// The smallest and largest vertex coordinates of a model with vertices.
std::pair<vlo::Vec3, vlo::Vec3> Bounds(const vlo::VloModel& m) {
    vlo::Vec3 lo = m.vertices[0].position, hi = lo;
    for (const auto& v : m.vertices) {
        lo = {std::min(lo.x, v.position.x), std::min(lo.y, v.position.y), std::min(lo.z, v.position.z)};
        hi = {std::max(hi.x, v.position.x), std::max(hi.y, v.position.y), std::max(hi.z, v.position.z)};
    }
    return {lo, hi};
}

json ToJson(const std::string& path, const vlo::VloReadResult& r, bool full) {
    const vlo::VloModel& m = r.model;
    json j;
    j["file"] = path;
    j["valid"] = r.Valid();
    j["size"] = r.layout.fileSize;
    j["flags"] = {{"noCollisions", (m.flags & vlo::kFlagNoCollisions) != 0},
                  {"hierarchy", (m.flags & vlo::kFlagHierarchy) != 0},
                  {"semiTransparent", (m.flags & vlo::kFlagSemiTransparent) != 0}};
    json chunks = json::array();
    for (auto t : r.layout.chunkOrder) chunks.push_back(vlo::ChunkTypeName(t));
    j["chunks"] = chunks;
    j["counts"] = {{"vertices", m.vertices.size()}, {"polygons", m.polygons.size()}, {"textures", m.textures.size()},
                   {"bones", m.bones.size()}, {"vertexLinks", m.links.size()}, {"tangents", m.tangents.size()},
                   {"markers", m.markers.size()}};
    json textures = json::array();
    for (const auto& t : m.textures) textures.push_back(vlo::FieldText(t.name));
    j["textures"] = textures;
    if (m.sound) j["sound"] = vlo::FieldText(m.sound->name);
    if (m.bumpMap) j["bumpMap"] = vlo::FieldText(m.bumpMap->name);
    if (m.specularMap) j["specularMap"] = vlo::FieldText(m.specularMap->name);
    json markers = json::array();
    for (const auto& mk : m.markers) markers.push_back({{"name", vlo::FieldText(mk.name)}, {"position", Vec(mk.position)}});
    j["markers"] = markers;
    json bones = json::array();
    for (const auto& b : m.bones)
        bones.push_back({{"id", b.id}, {"parent", b.parentId}, {"name", vlo::FieldText(b.name)}, {"offset", Vec(b.offset)},
                         {"rotation", json::array({b.rotation[0], b.rotation[1], b.rotation[2], b.rotation[3]})},
                         {"position", Vec(b.position)}});
    j["bones"] = bones;
    if (!m.vertices.empty()) {
        const auto [lo, hi] = Bounds(m);
        j["bounds"] = {{"min", Vec(lo)}, {"max", Vec(hi)}};
    }
    std::map<int, int> groups;
    for (const auto& p : m.polygons) ++groups[p.textureId];
    json g = json::array();
    for (const auto& [id, n] : groups) g.push_back({{"textureId", id}, {"polygons", n}});
    j["polygonGroups"] = g;
    if (full) {
        json verts = json::array();
        for (const auto& v : m.vertices) verts.push_back({{"p", Vec(v.position)}, {"n", Vec(v.normal)}, {"uv", {v.u, v.v}}});
        j["vertices"] = verts;
        json polys = json::array();
        for (const auto& p : m.polygons) polys.push_back({p.verts[0], p.verts[1], p.verts[2], p.textureId});
        j["polygons"] = polys;
        json links = json::array();
        for (const auto& l : m.links) {
            json ids = json::array(), weights = json::array();
            for (int k = 0; k < l.numLinks && k < 4; ++k) {
                ids.push_back(l.boneIds[k]);
                weights.push_back(l.weights[k]);
            }
            links.push_back({{"bones", ids}, {"weights", weights}});
        }
        j["vertexLinks"] = links;
    }
    json findings = json::array();
    for (const auto& f : r.findings)
        findings.push_back({{"severity", f.severity == vlo::Finding::Severity::Error ? "error" : "warning"}, {"text", f.text}});
    j["findings"] = findings;
    return j;
}

void PrintSummary(const std::string& path, const vlo::VloReadResult& r, std::ostream& out) {
    const vlo::VloModel& m = r.model;
    out << path << ": " << (r.Valid() ? "valid" : "INVALID") << " VLO model, " << r.layout.fileSize << " bytes\n";
    out << "  flags:    " << ((m.flags & vlo::kFlagNoCollisions) ? "no-collisions " : "")
        << ((m.flags & vlo::kFlagHierarchy) ? "hierarchy " : "") << ((m.flags & vlo::kFlagSemiTransparent) ? "semi-transparent" : "")
        << (m.flags == 0 ? "none" : "") << "\n";
    const auto& order = r.layout.chunkOrder;
    out << "  chunks:   " << order.size() << " (";
    for (std::size_t i = 0; i < order.size(); ++i) out << (i ? ", " : "") << vlo::ChunkTypeName(order[i]);
    out << ")\n";
    out << "  vertices: " << m.vertices.size() << "\n  polygons: " << m.polygons.size() << "\n";
    out << "  textures: " << m.textures.size() << "\n";
    for (std::size_t i = 0; i < m.textures.size(); ++i) out << "    " << i << ") " << vlo::FieldText(m.textures[i].name) << "\n";
    if (m.sound) out << "  sound:    " << vlo::FieldText(m.sound->name) << "\n";
    if (m.bumpMap) out << "  bump map: " << vlo::FieldText(m.bumpMap->name) << " (" << m.tangents.size() << " tangent frames)\n";
    if (m.specularMap) out << "  specular: " << vlo::FieldText(m.specularMap->name) << "\n";
    if (!m.vertices.empty()) {
        const auto [lo, hi] = Bounds(m);
        out << std::fixed << std::setprecision(4) << "  bounds:   (" << lo.x << ", " << lo.y << ", " << lo.z << ") to (" << hi.x
            << ", " << hi.y << ", " << hi.z << ")\n"
            << std::defaultfloat;
    }
    out << "  markers:  " << m.markers.size() << "\n";
    for (const auto& mk : m.markers)
        out << "    " << vlo::FieldText(mk.name) << " at (" << mk.position.x << ", " << mk.position.y << ", " << mk.position.z
            << ")\n";
    if (r.layout.Has(vlo::kChunkHierarchy)) {
        out << "  bones:    " << m.bones.size() << "\n";
        for (const auto& b : m.bones)
            out << "    " << b.id << " " << vlo::FieldText(b.name) << " (parent " << b.parentId << ")\n";
        out << "  links:    " << m.links.size() << "\n";
    }
    std::size_t shown = 0;
    for (const auto& f : r.findings) {
        if (++shown > 20) {
            out << "  ... " << r.findings.size() - 20 << " more findings\n";
            break;
        }
        out << "  " << (f.severity == vlo::Finding::Severity::Error ? "error: " : "warning: ") << f.text << "\n";
    }
}

json AnimationJson(const std::string& path, const vlo::VlaReadResult& r, bool full) {
    const vlo::VlaAnimation& a = r.animation;
    json j;
    j["file"] = path;
    j["valid"] = r.Valid();
    j["size"] = r.fileSize;
    j["header"] = {{"bones", a.header.numBones}, {"frames", a.header.numFrames}, {"frameRate", a.header.frameRate},
                   {"markers", a.header.numMarkers}};
    json flagged = json::array();
    for (std::size_t k = 0; k < a.frames.size(); ++k)
        if (a.frames[k].flags) flagged.push_back({{"frame", k}, {"flags", a.frames[k].flags}});
    j["flaggedFrames"] = flagged;
    json markers = json::array();
    for (const auto& m : a.markers) markers.push_back(vlo::FieldText(m.header.name));
    j["markers"] = markers;
    if (full) {
        json frames = json::array();
        for (std::size_t k = 0; k < a.frames.size(); ++k) {
            const vlo::VlaFrameHeader& f = a.frames[k];
            json keys = json::array();
            for (std::size_t b = 0; b < a.header.numBones; ++b) {
                const vlo::BoneKey& q = a.Key(k, b);
                keys.push_back({q.x, q.y, q.z, q.w});
            }
            frames.push_back({{"flags", f.flags}, {"rootPosition", Vec(f.rootPosition)}, {"rootRotation", f.rootRotation},
                              {"keys", keys}});
        }
        j["frames"] = frames;
    }
    json findings = json::array();
    for (const auto& f : r.findings)
        findings.push_back({{"severity", f.severity == vlo::Finding::Severity::Error ? "error" : "warning"}, {"text", f.text}});
    j["findings"] = findings;
    return j;
}

void PrintAnimation(const std::string& path, const vlo::VlaReadResult& r, std::ostream& out) {
    const vlo::VlaAnimation& a = r.animation;
    out << path << ": " << (r.Valid() ? "valid" : "INVALID") << " VLA animation, " << r.fileSize << " bytes\n";
    out << "  bones:    " << a.header.numBones << "\n  frames:   " << a.header.numFrames << " at " << a.header.frameRate
        << " fps\n";
    std::size_t flagged = 0;
    for (std::size_t k = 0; k < a.frames.size(); ++k)
        if (a.frames[k].flags) {
            if (flagged++ == 0) out << "  key frames:";
            out << " " << k << "=0x" << std::hex << a.frames[k].flags << std::dec;
        }
    if (flagged) out << "\n";
    if (!a.frames.empty()) {
        const auto& last = a.frames.back();
        out << "  root:     travels to (" << last.rootPosition.x << ", " << last.rootPosition.y << ", " << last.rootPosition.z
            << "), turned " << last.rootRotation << " rad at the last frame\n";
    }
    out << "  markers:  " << a.markers.size() << "\n";
    for (const auto& m : a.markers) out << "    " << vlo::FieldText(m.header.name) << "\n";
    for (const auto& f : r.findings)
        out << "  " << (f.severity == vlo::Finding::Severity::Error ? "error: " : "warning: ") << f.text << "\n";
}

// One frame's bone rotations by name, from the bone list of the matching model.
void PrintFrame(const vlo::VlaAnimation& a, const vlo::VloModel* model, std::size_t frame, std::ostream& out) {
    const auto& f = a.frames[frame];
    out << "  frame " << frame << ": flags 0x" << std::hex << f.flags << std::dec << ", root (" << f.rootPosition.x << ", "
        << f.rootPosition.y << ", " << f.rootPosition.z << ") turned " << f.rootRotation << "\n";
    for (std::size_t b = 0; b < a.header.numBones; ++b) {
        const auto& k = a.Key(frame, b);
        out << "    " << b << " " << (model ? vlo::FieldText(model->bones[b].name) : std::string("bone")) << ": (" << k.x
            << ", " << k.y << ", " << k.z << ", " << k.w << ")\n";
    }
}

}  // namespace

int RunVloInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    bool asJson = false, full = false;
    long frame = -1;
    CLI::App app{"Reads VLO models and VLA animations, checks them and prints what they hold. Given an animation "
                 "and a model, checks that they number the same bones.",
                 "vloinfo"};
    app.add_option("files", files, "VLO and VLA files")->required();
    app.add_flag("--json", asJson, "Print JSON");
    app.add_flag("--full", full, "With --json: every vertex, polygon, vertex link and frame too");
    app.add_option("--frame", frame, "Print this frame's bone rotations (by bone name when a model is given)");
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        err << "error: " << e.what() << "\n";
        return 2;
    }
    int status = 0;
    json all = json::array();
    std::vector<std::pair<std::string, vlo::VloReadResult>> models;
    std::vector<std::pair<std::string, vlo::VlaReadResult>> animations;
    for (const std::string& path : files) {
        std::vector<std::uint8_t> bytes;
        std::string error;
        if (!vlo::ReadFileBytes(path, bytes, error)) {
            err << "error: " << error << "\n";
            status = 2;
            continue;
        }
        if (vlo::LooksLikeVla(bytes)) {
            vlo::VlaReadResult r = vlo::ReadVla(bytes);
            if (!r.Valid() && status == 0) status = 1;
            if (asJson) all.push_back(AnimationJson(path, r, full));
            else PrintAnimation(path, r, out);
            animations.emplace_back(path, std::move(r));
            continue;
        }
        vlo::VloReadResult r = vlo::ReadVlo(bytes);
        if (!r.Valid() && status == 0) status = 1;
        if (asJson) all.push_back(ToJson(path, r, full));
        else PrintSummary(path, r, out);
        models.emplace_back(path, std::move(r));
    }
    // An animation and a skinned model of the same skeleton number their bones alike.
    const vlo::VloModel* model = nullptr;
    for (const auto& [path, m] : models)
        if (m.layout.Has(vlo::kChunkHierarchy)) model = &m.model;
    for (const auto& [path, a] : animations) {
        if (model && model->bones.size() != a.animation.header.numBones) {
            err << "error: " << path << " animates " << a.animation.header.numBones << " bones but the model has "
                << model->bones.size() << "\n";
            if (status == 0) status = 1;
            model = nullptr;
        } else if (model && !asJson) {
            out << "  bones pair with the model's " << model->bones.size() << " bones\n";
        }
        if (frame >= 0) {
            if (std::size_t(frame) >= a.animation.frames.size()) {
                err << "error: " << path << " has " << a.animation.frames.size() << " frames; there is no frame " << frame
                    << "\n";
                return 2;
            }
            PrintFrame(a.animation, model, std::size_t(frame), out);
        }
    }
    if (asJson) out << (all.size() == 1 ? all[0] : all).dump(2) << "\n";
    return status;
}

}  // namespace tools
