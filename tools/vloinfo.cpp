#include "tools/vloinfo.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "format/info_text.h"
#include "format/output_file.h"
#include "format/vla_reader.h"
#include "format/vlo_reader.h"
#include "preview/sheets.h"
#include "tools/command_line.h"
#include "tools/vlo_diff.h"

namespace tools {
namespace {

using nlohmann::json;
using vlo::Finding;

struct Options {
    std::vector<std::string> files;
    bool json = false;
    bool full = false;
    bool strict = false;
    std::optional<long> frame;       // a frame to print, counted as firstFrame says
    std::optional<long> firstFrame;  // the timeline frame of the animation's first record
    std::string png;                 // a preview sheet to write
    std::string model;               // the skinned model an animation's sheet poses
};

// One file given on the command line, read and checked.
struct Checked {
    std::string path;
    std::variant<vlo::VloReadResult, vlo::VlaReadResult> read;
    std::vector<Finding> findings;  // the reader's, then those of the text beside it and of pairing
    std::string pairedWith;                    // the skinned model whose bones an animation pairs with
    const vlo::VloModel* boneNames = nullptr;  // that model, whose bones name the animation's

    const vlo::VloReadResult* Model() const { return std::get_if<vlo::VloReadResult>(&read); }
    const vlo::VlaReadResult* Animation() const { return std::get_if<vlo::VlaReadResult>(&read); }
    bool HasErrors() const {
        for (const Finding& f : findings)
            if (f.severity == Finding::Severity::Error) return true;
        return false;
    }
};

bool IsSkinned(const Checked& c) { return c.Model() && c.Model()->layout.Has(vlo::kChunkHierarchy); }

// A value as a reader wants it: -0 (which the format's angle and position arithmetic often leaves)
// shown as 0.
float Shown(float v) { return v + 0.0f; }

// The names of the key-frame bits a frame's flags hold, joined by '+'.
std::string KeyFrameNames(std::uint32_t flags) {
    std::string names;
    for (int slot = 0; slot < vlo::kNumKeyFrameSlots; ++slot)
        if (flags & vlo::KeyFrameBit(slot)) names += (names.empty() ? "" : "+") + std::string(vlo::kKeyFrameNames[slot]);
    return names;
}

json Vec(const vlo::Vec3& v) { return json::array({v.x, v.y, v.z}); }

const char* SeverityWord(const Finding& f) { return f.severity == Finding::Severity::Error ? "error" : "warning"; }

json FindingsJson(const std::vector<Finding>& findings) {
    json out = json::array();
    for (const auto& f : findings) out.push_back({{"severity", SeverityWord(f)}, {"text", f.text}});
    return out;
}

void PrintFindings(const std::vector<Finding>& findings, std::ostream& out) {
    constexpr std::size_t kShown = 20;
    for (std::size_t i = 0; i < findings.size(); ++i) {
        if (i == kShown) {
            out << "  ... " << findings.size() - kShown << " more findings (all of them with --json)\n";
            break;
        }
        out << "  " << SeverityWord(findings[i]) << ": " << findings[i].text << "\n";
    }
}

// ---- models ---------------------------------------------------------------------------------------

json ModelJson(const Checked& c, bool full) {
    const vlo::VloReadResult& r = *c.Model();
    const vlo::VloModel& m = r.model;
    json j;
    j["file"] = c.path;
    j["valid"] = !c.HasErrors();
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
        const auto [lo, hi] = m.VertexBounds();
        j["bounds"] = {{"min", Vec(lo)}, {"max", Vec(hi)}};
    }
    json groups = json::array();
    for (const auto& b : m.indexBuffers) groups.push_back({{"textureId", b.textureId}, {"polygons", b.numPolys}});
    j["polygonGroups"] = groups;
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
    j["findings"] = FindingsJson(c.findings);
    return j;
}

void PrintModel(const Checked& c, std::ostream& out) {
    const vlo::VloReadResult& r = *c.Model();
    const vlo::VloModel& m = r.model;
    out << c.path << ": " << (c.HasErrors() ? "INVALID" : "valid") << " VLO model, " << r.layout.fileSize << " bytes\n";
    std::string flags;
    for (const auto& [bit, name] : {std::pair{vlo::kFlagNoCollisions, "no-collisions"}, std::pair{vlo::kFlagHierarchy, "hierarchy"},
                                    std::pair{vlo::kFlagSemiTransparent, "semi-transparent"}})
        if (m.flags & bit) flags += (flags.empty() ? "" : " ") + std::string(name);
    if (const std::uint32_t other = m.flags & ~vlo::kKnownObjectFlags) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%x", unsigned(other));
        flags += (flags.empty() ? "" : " ") + std::string("unknown ") + hex;
    }
    out << "  flags:    " << (flags.empty() ? "none" : flags) << "\n";
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
        const auto [lo, hi] = m.VertexBounds();
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
    PrintFindings(c.findings, out);
}

// ---- animations -----------------------------------------------------------------------------------

json AnimationJson(const Checked& c, const Options& o, const vlo::VloModel* model) {
    const vlo::VlaReadResult& r = *c.Animation();
    const vlo::VlaAnimation& a = r.animation;
    const long first = o.firstFrame.value_or(0);
    json j;
    j["file"] = c.path;
    j["valid"] = !c.HasErrors();
    j["size"] = r.fileSize;
    j["header"] = {{"bones", a.header.numBones}, {"frames", a.header.numFrames}, {"frameRate", a.header.frameRate},
                   {"markers", a.header.numMarkers}};
    if (o.firstFrame) j["timeline"] = {{"first", first}, {"last", first + long(a.frames.size()) - 1}};
    json keyFrames = json::array();
    for (std::size_t k = 0; k < a.frames.size(); ++k)
        if (a.frames[k].flags) {
            json names = json::array();
            for (int slot = 0; slot < vlo::kNumKeyFrameSlots; ++slot)
                if (a.frames[k].flags & vlo::KeyFrameBit(slot)) names.push_back(vlo::kKeyFrameNames[slot]);
            json entry = {{"index", k}, {"flags", a.frames[k].flags}, {"names", names}};
            if (o.firstFrame) entry["frame"] = first + long(k);
            keyFrames.push_back(entry);
        }
    j["keyFrames"] = keyFrames;
    json markers = json::array();
    for (const auto& m : a.markers) markers.push_back(vlo::FieldText(m.header.name));
    j["markers"] = markers;
    if (!c.pairedWith.empty()) j["pairedWith"] = c.pairedWith;
    auto frameJson = [&](std::size_t k) {
        const vlo::VlaFrameHeader& f = a.frames[k];
        json keys = json::array();
        for (std::size_t b = 0; b < a.header.numBones; ++b) {
            const vlo::BoneKey& q = a.Key(k, b);
            json key = {{"bone", b}, {"rotation", {q.x, q.y, q.z, q.w}}};
            if (model) key["name"] = vlo::FieldText(model->bones[b].name);
            keys.push_back(key);
        }
        json out = {{"index", k}, {"flags", f.flags}, {"rootPosition", Vec(f.rootPosition)}, {"rootRotation", f.rootRotation},
                    {"keys", keys}};
        if (o.firstFrame) out["frame"] = first + long(k);
        return out;
    };
    if (o.frame && !a.frames.empty()) j["frame"] = frameJson(std::size_t(*o.frame - first));
    if (o.full) {
        json frames = json::array();
        for (std::size_t k = 0; k < a.frames.size(); ++k) frames.push_back(frameJson(k));
        j["frames"] = frames;
    }
    j["findings"] = FindingsJson(c.findings);
    return j;
}

void PrintAnimation(const Checked& c, const Options& o, const vlo::VloModel* model, std::ostream& out) {
    const vlo::VlaReadResult& r = *c.Animation();
    const vlo::VlaAnimation& a = r.animation;
    const long first = o.firstFrame.value_or(0);
    out << c.path << ": " << (c.HasErrors() ? "INVALID" : "valid") << " VLA animation, " << r.fileSize << " bytes\n";
    out << "  bones:    " << a.header.numBones << "\n  frames:   " << a.header.numFrames << " at " << a.header.frameRate
        << " fps";
    if (o.firstFrame && !a.frames.empty()) out << ", timeline frames " << first << " to " << first + long(a.frames.size()) - 1;
    out << "\n";
    // Frames count from the first record (0) unless the user said where the export started.
    const char* counted = o.firstFrame ? "" : " (frame index from 0)";
    bool any = false;
    for (std::size_t k = 0; k < a.frames.size(); ++k)
        if (a.frames[k].flags) {
            out << (any ? ", " : std::string("  key frames") + counted + ": ") << first + long(k) << " "
                << KeyFrameNames(a.frames[k].flags);
            any = true;
        }
    if (any) out << "\n";
    if (!a.frames.empty()) {
        const auto& last = a.frames.back();
        out << "  root:     travels to (" << Shown(last.rootPosition.x) << ", " << Shown(last.rootPosition.y) << ", "
            << Shown(last.rootPosition.z) << "), turned " << Shown(last.rootRotation) << " rad at the last frame\n";
    }
    out << "  markers:  " << a.markers.size() << "\n";
    for (const auto& m : a.markers) out << "    " << vlo::FieldText(m.header.name) << "\n";
    if (!c.pairedWith.empty()) out << "  bones pair with the " << a.header.numBones << " bones of " << c.pairedWith << "\n";
    if (o.frame && !a.frames.empty()) {
        const std::size_t k = std::size_t(*o.frame - first);
        const auto& f = a.frames[k];
        out << "  frame " << *o.frame << ": flags 0x" << std::hex << f.flags << std::dec;
        if (f.flags) out << " " << KeyFrameNames(f.flags);
        out << ", root (" << Shown(f.rootPosition.x) << ", " << Shown(f.rootPosition.y) << ", " << Shown(f.rootPosition.z)
            << ") turned " << Shown(f.rootRotation) << "\n";
        for (std::size_t b = 0; b < a.header.numBones; ++b) {
            const auto& q = a.Key(k, b);
            out << "    " << b << " " << (model ? vlo::FieldText(model->bones[b].name) : std::string("bone")) << ": (" << Shown(q.x)
                << ", " << Shown(q.y) << ", " << Shown(q.z) << ", " << Shown(q.w) << ")\n";
        }
    }
    PrintFindings(c.findings, out);
}

// ---- checks across files --------------------------------------------------------------------------

// The information text beside a file, when there is one, must describe it.
void CheckTextBeside(Checked& c) {
    const std::string textPath = vlo::SiblingFileName(c.path, ".TXT");
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (textPath == c.path || !std::filesystem::is_regular_file(textPath) || !vlo::ReadFileBytes(textPath, bytes, error))
        return;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::string difference = c.Model() ? vlo::ModelTextDifference(c.Model()->model, text)
                                             : vlo::AnimationTextDifference(c.Animation()->animation, text);
    if (!difference.empty())
        c.findings.push_back({Finding::Severity::Warning, "the information file " + textPath + " does not describe this file: " +
                                                              difference + " (is it left from another export?)"});
}

// An animation and a skinned model of one skeleton number the same bones: every animation is
// paired with every skinned model given; the last model that pairs names its bones.
void PairBones(std::vector<Checked>& checked) {
    bool anyModel = false;
    for (const Checked& c : checked) anyModel |= c.Model() != nullptr;
    for (Checked& anim : checked) {
        if (!anim.Animation() || !anim.Animation()->Valid()) continue;
        const std::uint32_t bones = anim.Animation()->animation.header.numBones;
        bool skinned = false;
        for (const Checked& model : checked) {
            if (!IsSkinned(model) || !model.Model()->Valid()) continue;
            skinned = true;
            const std::size_t modelBones = model.Model()->model.bones.size();
            if (modelBones != bones) {
                anim.findings.push_back({Finding::Severity::Error, "it animates " + std::to_string(bones) + " bones but " +
                                                                       model.path + " has " + std::to_string(modelBones) +
                                                                       ": they are not of one skeleton"});
                continue;
            }
            anim.pairedWith = model.path;
            anim.boneNames = &model.Model()->model;
        }
        if (anyModel && !skinned)
            anim.findings.push_back({Finding::Severity::Warning,
                                     "none of the models given has bones (they were exported as shapes), so its bones "
                                     "were not paired with a model"});
    }
}

// The preview sheet of a checked file; 0, or the exit status of what went wrong.
int WriteSheet(const Checked& c, const Options& o, std::ostream& err) {
    preview::Image image;
    if (const vlo::VloReadResult* m = c.Model()) {
        if (!m->Valid()) {
            err << "error: " << c.path << " is not a valid model: nothing to draw\n";
            return 1;
        }
        preview::ModelSheetOptions options;
        options.title = c.path;
        options.textureFolder = std::filesystem::absolute(c.path).parent_path().string();
        image = preview::DrawModelSheet(m->model, options).image;
    } else {
        const vlo::VlaReadResult& a = *c.Animation();
        if (!a.Valid()) {
            err << "error: " << c.path << " is not a valid animation: nothing to draw\n";
            return 1;
        }
        std::optional<vlo::VloReadResult> model;
        if (!o.model.empty()) {
            std::vector<std::uint8_t> bytes;
            std::string error;
            if (!vlo::ReadFileBytes(o.model, bytes, error)) {
                err << "error: " << error << "\n";
                return 2;
            }
            model = vlo::ReadVlo(bytes);
            if (!model->Valid() || !model->layout.Has(vlo::kChunkHierarchy)) {
                err << "error: " << o.model << " is not a valid skinned model\n";
                return 1;
            }
        }
        preview::AnimationSheetOptions options;
        options.title = c.path + (model ? " posed on " + o.model : "");
        if (model) options.model = &model->model;
        image = preview::DrawAnimationSheet(a.animation, options).image;
    }
    std::string error;
    if (!preview::WritePng(image, o.png, error)) {
        err << "error: Failed to create the file: " << o.png << " (" << error << ")\n";
        return 1;
    }
    return 0;
}

}  // namespace

int RunVloInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args[0] == "diff") return RunVloDiff({args.begin() + 1, args.end()}, out, err);
    Options o;
    CLI::App app{"Reads VLO models and VLA animations, checks every rule of their formats and prints what they hold. "
                 "The .TXT written beside a file is checked against it. Given an animation and a skinned model, checks "
                 "that they number the same bones and names the bones of a printed frame.",
                 "vloinfo"};
    app.add_option("files", o.files, "VLO and VLA files")->required();
    app.add_flag("--json", o.json, "Print JSON on stdout, nothing else");
    app.add_flag("--full", o.full, "With --json: every vertex, polygon, vertex link and frame too");
    app.add_option("--frame", o.frame, "Print this frame of each animation (its bone rotations, by name when a skinned "
                                       "model is given)");
    app.add_option("--first-frame", o.firstFrame,
                   "The timeline frame the animation's first record was exported from (1 for a Blender scene's "
                   "default range): --frame and the key frames then count on that timeline");
    app.add_flag("--strict", o.strict, "Warnings make the check fail (exit 1)");
    app.add_option("--png", o.png,
                   "Write a preview sheet of the one file given: a model from the front, side, top and three-quarters, "
                   "or an animation's poses and root track");
    app.add_option("--model", o.model, "With --png and an animation: the skinned model whose bones (and mesh) it poses");
    app.footer("Compare two files: vloinfo diff A B [--tolerance T] [--json] (see vloinfo diff --help).\n\n"
               "Exit status: 0 every file valid; 1 a file breaks a rule of its format (or has warnings, with "
               "--strict); 2 bad usage or a file that cannot be read.");
    if (const auto status = ParseCommandLine(app, args, out, err, [&] {
            if (o.full && !o.json) throw CLI::ValidationError("--full", "lists every record and needs --json");
        }))
        return *status;

    int status = 0;
    std::vector<Checked> checked;
    for (const std::string& path : o.files) {
        std::vector<std::uint8_t> bytes;
        std::string error;
        if (std::filesystem::is_directory(path)) {
            err << "error: " << path << " is a folder, not a VLO or VLA file\n";
            status = 2;
            continue;
        }
        if (!vlo::ReadFileBytes(path, bytes, error)) {
            err << "error: " << error << "\n";
            status = 2;
            continue;
        }
        Checked c{path, vlo::LooksLikeVla(bytes) ? decltype(Checked::read)(vlo::ReadVla(bytes)) : vlo::ReadVlo(bytes), {}, {}};
        c.findings = c.Model() ? c.Model()->findings : c.Animation()->findings;
        CheckTextBeside(c);
        checked.push_back(std::move(c));
    }
    PairBones(checked);
    if (!o.png.empty()) {
        if (checked.size() != 1) {
            err << "error: --png draws one file; " << checked.size() << " were read\n";
            return 2;
        }
        // The sheet never takes the place of a file it draws, nor of any file but an earlier picture.
        if (const std::string problem = vlo::ReplaceProblem(o.png, "PNG picture", "\x89PNG\r\n\x1a\n",
                                                            {checked.front().path, o.model});
            !problem.empty()) {
            err << "error: --png " << o.png << ": " << problem << "; nothing was written (name another file)\n";
            return 2;
        }
        if (const int written = WriteSheet(checked.front(), o, err); written != 0) return written;
    }

    // A frame to print must be in every animation given, before anything is printed.
    if (o.frame) {
        bool anyAnimation = false;
        for (const Checked& c : checked) {
            if (!c.Animation()) continue;
            anyAnimation = true;
            if (c.Animation()->animation.frames.empty()) continue;  // unreadable: its findings say why
            const long first = o.firstFrame.value_or(0), count = long(c.Animation()->animation.frames.size());
            if (*o.frame < first || *o.frame >= first + count) {
                err << "error: " << c.path << " holds frames " << first << " to " << first + count - 1
                    << (o.firstFrame ? "" : " (counted from 0; see --first-frame)") << ": there is no frame " << *o.frame
                    << "\n";
                return 2;
            }
        }
        if (!anyAnimation && status == 0) {
            err << "error: --frame needs a VLA animation among the files\n";
            return 2;
        }
    }

    json all = json::array();
    for (const Checked& c : checked) {
        if (c.HasErrors() || (o.strict && !c.findings.empty())) status = std::max(status, 1);
        if (c.Model()) {
            if (o.json) all.push_back(ModelJson(c, o.full));
            else PrintModel(c, out);
        } else {
            if (o.json) all.push_back(AnimationJson(c, o, c.boneNames));
            else PrintAnimation(c, o, c.boneNames, out);
        }
    }
    if (o.json) out << (all.size() == 1 ? all[0] : all).dump(2) << "\n";
    return status;
}

}  // namespace tools
