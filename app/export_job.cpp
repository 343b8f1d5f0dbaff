#include "app/export_job.h"

#include <algorithm>
#include <new>
#include <set>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "anim/keyframe_text.h"
#include "app/plugin_host.h"
#include "app/selection.h"
#include "format/output_file.h"
#include "format/vlo_reader.h"
#include "geometry/tri_mesh.h"
#include "host/node_walk.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// The host's file dialog gives paths in the host's style, with backslashes.
std::string HostPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

Diagnostic Warning(std::string text, std::string object = {}) {
    Diagnostic d;
    d.level = Diagnostic::Level::Warning;
    d.text = std::move(text);
    d.object = std::move(object);
    return d;
}

Diagnostic Failure(std::string text) {
    Diagnostic d;
    d.text = std::move(text);
    return d;
}

// Identical diagnostics in a row are counted; a message that first went on and then stopped the
// export counts as the error it became.
void Add(ExportResult& r, Diagnostic d) {
    if (!r.diagnostics.empty()) {
        Diagnostic& last = r.diagnostics.back();
        if (last.text == d.text && last.object == d.object &&
            (last.level == d.level || d.level == Diagnostic::Level::Error)) {
            last.level = d.level;
            ++last.repeats;
            return;
        }
    }
    r.diagnostics.push_back(std::move(d));
}

ExportResult Fails(ExportResult r, int status, std::string why) {
    Add(r, Failure(std::move(why)));
    r.status = status;
    return r;
}

// The meshes skinned to the node or to bones below it, in scene order.
std::vector<std::string> MeshesSkinnedTo(standin::Scene& scene, standin::Node& node) {
    std::vector<std::string> names;
    for (standin::Node* n : scene.AllNodes()) {
        ISkin* skin = SkinOf(*n);
        bool bound = false;
        for (int i = 0; skin && i < skin->GetNumBones() && !bound; ++i)
            for (INode* up = skin->GetBone(i); up && !bound; up = up->GetParentNode()) bound = up == &node;
        if (bound) names.push_back(n->Name());
    }
    return names;
}

// The plug-in's texts speak the host's words; what they mean to someone working in Blender or with FBX.
// named is the node the user named: the selected one, or the group whose meshes were attached into it.
std::string Explain(const std::string& text, standin::Node& selected, standin::Node& named, standin::Scene& scene) {
    const std::string name = selected.Name();
    if (text == "Neither Physique modifier nor Skin modifier found on selected object") {
        // A skeleton named for a skinned model (its props, parented to bones, attached without a
        // skin): the mesh skinned to it is what to select.
        const std::vector<std::string> skinned = MeshesSkinnedTo(scene, named);
        if (skinned.empty()) return "the object has no skin: use --mode shape, or bind it to an armature";
        std::string others;
        for (std::size_t i = 1; i < skinned.size(); ++i) others += (i > 1 ? ", " : "") + skinned[i];
        return named.Name() + " is part of a skeleton, not a skinned mesh: select the mesh skinned to it (--select " +
               skinned[0] + (others.empty() ? "" : "; also skinned to it: " + others) + ")";
    }
    if (text == "Error with Object State")
        return IsDummy(selected) ? name + " is an empty, not a mesh" : name + " has no geometry to export";
    if (text == "Failed to obtain a tri object") return name + " cannot be made into triangles";
    if (text == "Vertices are mapped to more than one hierarchy")
        return "the skin's bones hang from more than one top-level object: parent them under one";
    if (text == "Error: Blended vertex with more than 4 (real) links [continuing]")
        return "a vertex keeps its first four bone links and the weights of the others are added to those four, "
               "so it moves differently from the scene: limit each vertex to four bone weights before exporting (in "
               "Blender: Weight Paint mode, Weights > Limit Total)";
    if (text == "Error: Vertex has no real links!?!? Giving up") return "a vertex has no bone weight above 0.0001";
    if (text == "NULL pxBoneNode") return "a skin weight names a bone that is not in the scene";
    if (text == "Did not find an object named 'yardstick'") return "the scale stays 1 unit = 1 metre";
    if (text == "Failed to create internal bone structure") return "the selected object has no bones below it";
    if (text == "No animation interval to export") return "the frame range is empty";
    if (text == "Error calling GetSkinInitTM") return "the skin has no bind pose for the object: its current pose is used";
    if (text == "Zero sub materials defined. Continuing regardless...")
        return "the object's multi-material has no sub-materials: it is exported without textures";
    if (text.rfind("Currently only support one bump map", 0) == 0)
        return "--bump needs exactly one bump (normal) map in the object's material";
    if (text.rfind("Currently only support one specular map", 0) == 0)
        return "--specular needs exactly one glossiness map in the object's material";
    if (text == "Failed to obtain BIP export interface") return "the biped root has no export interface";
    if (text.rfind("Too many vertices in object", 0) == 0)
        return "a vertex counts once for every UV seam and hard edge it lies on: split the model into parts and "
               "export each (--select), or reduce it (in Blender: the Decimate modifier)";
    if (text.find(" bones; a skinned model holds at most ") != std::string::npos)
        return "leave out the control and helper bones, which move no vertex: Blender's FBX exporter has 'Only Deform "
               "Bones', its glTF exporter 'Export Deformation Bones Only'";
    return "";
}

Diagnostic FromNotice(const vlo::Notice& n, standin::Node& selected, standin::Node& named, standin::Scene& scene) {
    Diagnostic d;
    d.level = n.severity == vlo::Severity::Stops ? Diagnostic::Level::Error : Diagnostic::Level::Warning;
    d.text = n.text;
    d.explanation = Explain(n.text, selected, named, scene);
    d.object = n.object.empty() ? selected.Name() : n.object;
    return d;
}

// Key frames the dialog cannot take become KEYFRAME lines of the selected object's properties, where
// the exporter reads them.
void AddPropertyKeyFrames(standin::Node& node, const std::vector<KeyFrameRequest>& keyFrames) {
    MSTR props;
    node.GetUserPropBuffer(props);
    for (const KeyFrameRequest& k : keyFrames)
        if (k.slot == vlo::kAddressBall || k.frame < 0)
            props += "\r\nKEYFRAME " + std::to_string(k.frame) + " " + vlo::kKeyFrameNames[k.slot];
    node.SetUserProps(props);
}

// The exporter reads the KEYFRAME entries of the object's properties in order and stops at the first
// that does not read: name it, and any entry naming no slot.
void CheckKeyFrameText(standin::Node& node, ExportResult& r) {
    MSTR props;
    node.GetUserPropBuffer(props);
    std::string upper = props;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    for (std::size_t at = upper.find("KEYFRAME"); at != std::string::npos; at = upper.find("KEYFRAME", at + 8)) {
        int frame = 0;
        std::string word;
        const std::string entry = props.substr(at, std::min<std::size_t>(40, props.find_first_of("\r\n", at) - at));
        if (!vlo::ParseKeyFrameEntry(upper, at, frame, word)) {
            Add(r, Warning("the key frame entry '" + entry +
                               "' does not read (KEYFRAME FRAME NAME): it and every entry after it are ignored",
                           node.Name()));
            return;
        }
        if (std::find(std::begin(vlo::kKeyFrameNames), std::end(vlo::kKeyFrameNames), word) == std::end(vlo::kKeyFrameNames))
            Add(r, Warning("the key frame entry '" + entry + "' names no key frame (BALL_STRUCK, MOUSE_SWING_START, "
                                                             "TOP_OF_SWING, ADDRESS_BALL): ignored",
                           node.Name()));
    }
}

// Names given to --remove-marker and --add-marker that match no marker candidate.
void CheckMarkerNames(standin::Scene& scene, const DialogChoices& choices, ExportResult& r) {
    std::vector<std::string> candidates;
    for (standin::Node* n : scene.Root().Children())
        if (IsDummy(*n)) candidates.push_back(n->Name());
    auto check = [&](const std::string& name, const char* flag) {
        if (std::find(candidates.begin(), candidates.end(), name) != candidates.end()) return;
        std::string why = "no marker named '" + name + "'";
        for (const std::string& c : candidates)
            if (c.size() == name.size() && std::equal(c.begin(), c.end(), name.begin(), [](char a, char b) {
                    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
                }))
                why += " (names are case-sensitive: '" + c + "')";
        if (standin::Node* node = scene.FindByName(name); node && why.find("case") == std::string::npos)
            why += " (" + PathOf(*node) + " is no empty at the top of the scene, and only those are markers)";
        std::string list;
        for (const std::string& c : candidates) list += (list.empty() ? "" : ", ") + c;
        Add(r, Warning(std::string(flag) + " " + why + "; the markers: " + (list.empty() ? "none" : list)));
    };
    for (const std::string& name : choices.removeMarkers) check(name, "--remove-marker:");
    for (const std::string& name : choices.addMarkers) check(name, "--add-marker:");
}

// Empties below what a model is made of (the named object, or the meshes it takes) are no markers:
// only the empties at the top of the scene are. An artist who parents a marker to the object it
// marks (as Blender makes easy) is told why it is missing and what to do.
void SayNestedEmpties(standin::Node* named, const std::vector<standin::Node*>& meshSources, ExportResult& r) {
    std::set<INode*> found;  // the walks from the named object and from its meshes may overlap
    auto note = [&found](INode* n) {
        if (IsDummy(*n)) found.insert(n);
    };
    if (named) ForEachBelow(named, note);
    for (standin::Node* mesh : meshSources) ForEachBelow(mesh, note);
    std::vector<std::string> empties;
    for (INode* n : found) empties.push_back(PathOf(*static_cast<standin::Node*>(n)));
    if (empties.empty()) return;
    std::sort(empties.begin(), empties.end());
    std::string list;
    for (const std::string& e : empties) list += (list.empty() ? "" : ", ") + e;
    Add(r, Warning(std::to_string(empties.size()) + (empties.size() == 1 ? " empty lies" : " empties lie") +
                   " below the exported object and " + (empties.size() == 1 ? "is no marker" : "are no markers") +
                   " (" + list + "): markers are the empties at the top of the scene (clear their parent, keeping "
                   "their place, to export them)"));
}

// An embedded image to write, at target in the extraction folder.
struct ImageToExtract {
    fs::path target;
    const importer::EmbeddedImageFile* image;
};

// Whether the image may be written at target: nothing is there. An image already extracted there
// (the same bytes) is kept; anything else is left as it is, with a warning. Only a plain file can be
// the image: a folder or a pipe of that name is not read.
bool NothingAt(const fs::path& target, const importer::EmbeddedImageFile& image, ExportResult& r) {
    std::error_code ec;
    if (!fs::exists(target, ec)) return true;
    std::vector<std::uint8_t> existing;
    std::string error;
    if (!fs::is_regular_file(target, ec) || !vlo::ReadFileBytes(target.string(), existing, error) ||
        existing != image.bytes)
        Add(r, Warning(target.string() + " exists with other content: left as it is"));
    return false;
}

// The embedded images to write into folder under the names the model stores, with a warning for each
// that is not written: a name that is no plain file name (it comes from the scene file and could lead
// out of the folder), raw texels, the name of one of the export's own outputs, or an image already
// there with other bytes, which is left alone. Nothing is written here: the images are written once
// the export's own files are in place, so that a refused export writes none.
std::vector<ImageToExtract> ImagesToExtract(const std::vector<importer::EmbeddedImageFile>& images,
                                            const std::string& folder, const std::vector<std::string>& outputs,
                                            ExportResult& r) {
    std::vector<ImageToExtract> chosen;
    for (const importer::EmbeddedImageFile& image : images) {
        if (image.name.empty() || image.name == "." || image.name == ".." ||
            image.name.find_first_of("/\\:") != std::string::npos) {
            Add(r, Warning("the embedded image named '" + image.name +
                           "' is not written: not a plain file name (give the image a file name in the scene)"));
            continue;
        }
        if (!image.encoded) {
            Add(r, Warning("the embedded image " + image.name + " holds raw texels, not an image file: not written"));
            continue;
        }
        const fs::path target = fs::path(folder) / image.name;
        const auto output = std::find_if(outputs.begin(), outputs.end(),
                                         [&target](const std::string& o) { return vlo::SameFile(target.string(), o); });
        if (output != outputs.end()) {
            Add(r, Warning("the embedded image " + image.name + " is not written: the export writes " + *output +
                           " (extract the textures into another folder)"));
            continue;
        }
        if (NothingAt(target, image, r)) chosen.push_back({target, &image});
    }
    return chosen;
}

// Writes the chosen images (making their folder); one that cannot be written is a warning, since the
// model that names it is already in place. A file that has come to a target since it was chosen (an
// earlier image of the same name) is not replaced.
void WriteImages(const std::vector<ImageToExtract>& images, const std::string& folder, ExportResult& r) {
    if (images.empty()) return;
    std::error_code ec;
    fs::create_directories(folder, ec);
    for (const auto& [target, image] : images) {
        if (!NothingAt(target, *image, r)) continue;
        const std::string bytes(image->bytes.begin(), image->bytes.end());
        vlo::OutputFile out;
        if (!(out.Open(target.string()) && out.Write(bytes) && out.Finish() && out.Publish()))
            Add(r, Warning("could not write the embedded image to " + target.string() + " (" + out.Error() + ")"));
    }
}

// An output that would replace the scene itself or a file it uses.
std::string ClobberedInput(const std::vector<std::string>& outputs, const std::vector<std::string>& used) {
    for (const std::string& out : outputs)
        for (const std::string& file : used)
            if (vlo::SameFile(out, file)) return out;
    return "";
}

// Warns about a model whose size or markers suggest a wrong scale or origin.
void CheckModelPlacement(const vlo::VloModel& m, const DialogChoices& choices, vlo::ExportMode mode, ExportResult& r) {
    if (!m.vertices.empty()) {
        const auto [lo, hi] = m.VertexBounds();
        // Too tall is judged by the height, too small by the widest side: a flat model (a sign, a decal,
        // a patch of green) has no height and is no sign of a wrong scale.
        const float height = choices.swapYZ.value_or(true) ? hi.y - lo.y : hi.z - lo.z;
        const float widest = std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z});
        char text[200] = "";
        if (height > 1000.0f)
            std::snprintf(text, sizeof text, "the model is %g m tall: check its scale (the yardstick, --scale, --file-units)",
                          double(height));
        else if (widest < 0.001f)
            std::snprintf(text, sizeof text,
                          "the model is %g m across at its widest: check its scale (the yardstick, --scale, --file-units)",
                          double(widest));
        if (text[0]) Add(r, Warning(text));
    }
    const vlo::OriginMode origin = choices.origin.value_or(vlo::OriginMode::Base);
    const bool recentred = mode == vlo::ExportMode::Shape && (origin == vlo::OriginMode::Base || origin == vlo::OriginMode::Center);
    if (recentred && !m.markers.empty()) {
        const vlo::Vec3& d = m.recentring;
        char text[300];
        std::snprintf(text, sizeof text,
                      "the markers are not moved with the model by --origin %s: they are written %.3f m from where "
                      "they sit on it (%.3f, %.3f, %.3f); use --origin world to keep them on the model",
                      origin == vlo::OriginMode::Base ? "base" : "center",
                      double(std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z)), double(-d.x), double(-d.y), double(-d.z));
        Add(r, Warning(text));
    }
}

// What the clip drives that the animation cannot hold. An animation holds the bones' turns, the
// root's travel and the markers' places: a bone's travel (below the root) or scaling is lost, and so
// is the motion of a node that is none of these (a prop animated on its own). Spreads under a
// millimetre or a thousandth of a scale are a file's rounding (Blender bakes every bone's place and
// scale, their last bits changing from frame to frame). A bone whose keys the file gives by a name
// that other nodes share may have taken another's keys.
void CheckDrivenNodes(const standin::Node& root, const vlo::VlaAnimation& animation,
                      const std::vector<importer::NodeMotion>& motions, ExportResult& r) {
    constexpr double kNoticeableMetres = 0.001, kNoticeableScale = 0.001;
    auto among = [](const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    // Whether from is a or lies below it.
    auto under = [](const standin::Node* from, const standin::Node* a) {
        for (const standin::Node* n = from; n; n = n->Parent())
            if (n == a) return true;
        return false;
    };
    // how: "moves"; what: "places"; unit: " m"; lost: "travel".
    auto leftOut = [&](const std::string& name, const char* how, const char* what, double spread, const char* unit,
                       const char* lost, const std::string& todo) {
        char amount[40];
        std::snprintf(amount, sizeof amount, "%.3f", spread);
        Add(r, Warning("bone '" + name + "' " + how + " in the clip (its keyed " + what + " lie up to " + amount + unit +
                           " apart), but an animation holds the bones' turns and the root's travel only: its " + lost +
                           " is left out (" + todo + ")",
                       root.Name()));
    };
    std::vector<std::string> others;
    for (const importer::NodeMotion& m : motions) {
        const std::string& name = m.node->Name();
        if (!under(m.node, &root)) {
            // The root's ancestors move the whole skeleton.
            if (!under(&root, m.node) && !among(animation.text.markerNames, name))
                others.push_back(m.sharers > 1 ? PathOf(*m.node) : name);  // a shared name says too little
            continue;
        }
        if (!among(animation.text.boneNames, name)) continue;
        if (m.node != &root && m.metres >= kNoticeableMetres)
            leftOut(name, "moves", "places", m.metres, " m", "travel", "move the skeleton by its root '" + root.Name() + "' instead");
        if (m.scales >= kNoticeableScale) leftOut(name, "is scaled", "scales", m.scales, "", "scaling", "keep the bones' scale as it is");
        if (m.sharers > 1)
            Add(r, Warning("bone '" + name + "': the clip gives its keys by the name '" + name + "', which " +
                               std::to_string(m.sharers) + " nodes of the scene share, so they may be another's "
                               "(give the bones of each skeleton names of their own)",
                           root.Name()));
    }
    if (!others.empty()) {
        std::string list;
        for (const std::string& n : others) list += (list.empty() ? "'" : ", '") + n + "'";
        Add(r, Warning("the clip also drives " + list + ", neither bones of '" + root.Name() +
                           "' nor markers: their motion is left out (parent what should move with the skeleton to "
                           "one of its bones, or export an animation of its own with --select)",
                       root.Name()));
    }
}

// A skeleton stretched unevenly (an armature object at scale (1, 1, 1.3)) shears its bones as they
// turn, which the file's bone turns cannot hold: they are the nearest turns. Named by the highest
// node whose transform stretches it, bone a node of the skeleton.
void CheckSkeletonStretch(standin::Node* bone, TimeValue t, ExportResult& r) {
    if (!bone || !vlo::ScalesUnevenly(bone->GetNodeTM(t))) return;
    standin::Node* top = bone;
    while (top->Parent() && !top->Parent()->IsRootNode() && vlo::ScalesUnevenly(top->Parent()->GetNodeTM(t)))
        top = top->Parent();
    const Matrix3 tm = top->GetNodeTM(t);
    const auto [least, most] = std::minmax({tm.GetRow(0).Length(), tm.GetRow(1).Length(), tm.GetRow(2).Length()});
    char text[400];
    std::snprintf(text, sizeof text,
                  "the skeleton is stretched unevenly by '%s' (scaled by %g to %g along its axes): bones only turn, "
                  "so the bones' turns are the nearest to its stretched poses (apply the scale to the armature: "
                  "Object > Apply > Scale in Blender)",
                  top->Name().c_str(), double(least), double(most));
    Add(r, Warning(text, top->Name()));
}

// Names the file cuts to 32 bytes.
void CheckNameLengths(const std::vector<std::string>& names, const char* what, ExportResult& r) {
    std::string cut;
    for (const std::string& n : names)
        if (n.size() > vlo::kNameBytes) cut += (cut.empty() ? "" : ", ") + n;
    if (!cut.empty())
        Add(r, Warning(std::string(what) + " names longer than 32 bytes are cut to the first 32 bytes in the file "
                                           "(ending on a whole character): " + cut));
}

// Key frames that flag no exported frame, and a range that reaches past the clip.
void CheckTimeline(const vlo::ExportSettings& s, const ExportRequest& request, ExportResult& r) {
    for (int slot = 0; slot < vlo::kNumKeyFrameSlots; ++slot) {
        const vlo::KeyFrameFlag& k = s.keyFrames[std::size_t(slot)];
        if (k.enabled && (k.frame < r.firstFrame || k.frame > r.lastFrame))
            Add(r, Warning(std::string("the key frame ") + vlo::kKeyFrameNames[slot] + " at frame " + std::to_string(k.frame) +
                           " lies outside the exported frames " + std::to_string(r.firstFrame) + " to " +
                           std::to_string(r.lastFrame) + ": no frame is flagged"));
    }
    if (!request.import.range) return;
    for (const importer::ClipInfo& c : r.scene.clips)
        if (c.name == r.scene.clip && (r.firstFrame < c.firstFrame || r.lastFrame > c.lastFrame))
            Add(r, Warning("the frames " + std::to_string(r.firstFrame) + " to " + std::to_string(r.lastFrame) +
                           " reach past the clip '" + c.name + "' (frames " + std::to_string(c.firstFrame) + " to " +
                           std::to_string(c.lastFrame) + "): its first and last poses are held there"));
}

// Whether anything that places the node or the nodes below it changes over time: a track on the node,
// on one of its ancestors or on one of its descendants.
bool Moves(standin::Node& node) {
    for (standin::Node* up = &node; up && !up->IsRootNode(); up = up->Parent())
        if (up->Track()) return true;
    return FindBelow(&node, [](INode* n) { return static_cast<standin::Node*>(n)->Track() != nullptr; }) != nullptr;
}

// An animation of an object that nothing moves: every frame holds the same pose.
void CheckStillPose(standin::Node& node, const standin::Scene& scene, const ExportRequest& request, ExportResult& r) {
    if (Moves(node)) return;
    std::string why;
    if (!r.scene.clip.empty())
        why = "the clip '" + r.scene.clip + "' moves neither it nor its bones (--clip picks another)";
    else if (request.import.range)
        why = request.input + " has no animation";
    else
        why = request.input + " has no animation (frames " + std::to_string(r.firstFrame) + " to " +
              std::to_string(r.lastFrame) + " at " + std::to_string(scene.frameRate) +
              " fps are the default range; --range sets others)";
    Add(r, Warning("every frame of the animation holds the same pose: " + why, node.Name()));
}

}  // namespace

std::size_t ExportResult::Warnings() const {
    return std::size_t(std::count_if(diagnostics.begin(), diagnostics.end(),
                                     [](const Diagnostic& d) { return d.level == Diagnostic::Level::Warning; }));
}

std::string FormatDiagnostic(const Diagnostic& d) {
    std::string line = (d.level == Diagnostic::Level::Warning ? "warning: " : "error: ") + d.text;
    if (!d.explanation.empty()) line += " (" + d.explanation + ")";
    if (!d.object.empty()) line += " [object '" + d.object + "']";
    if (d.repeats > 1) line += " (" + std::to_string(d.repeats) + " times)";
    return line;
}

std::vector<std::string> OutputFiles(const std::string& output) { return {output, vlo::SiblingFileName(output, ".TXT")}; }

namespace {

ExportResult ExportOrThrow(const ExportRequest& request) {
    ExportResult r;
    const vlo::ExportMode mode = request.mode.value_or(vlo::ExportMode::Shape);
    std::string ext = fs::path(request.output).extension().string();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (!request.force && ext != ".vlo" && ext != ".vla")
        return Fails(r, kExitUsage, "the output " + request.output + " is not a .VLO or .VLA file (--force writes it all the same)");
    // The exporter writes an animation to the output's name with the extension .VLA: any other output
    // would have it replace a file that was not named.
    if (mode == vlo::ExportMode::Animation && ext != ".vla")
        return Fails(r, kExitUsage,
                     "the output " + request.output + " is not a .VLA file: the animation would be written to " +
                         vlo::AnimationFileName(request.output) +
                         ", which was not named; nothing was written (name that output)");

    const auto importStart = Clock::now();
    standin::Scene scene;
    importer::ImportOptions import = request.import;
    // An animation samples the file's motion: a skeleton that is no biped is then not held in its bind pose.
    if (mode == vlo::ExportMode::Animation && import.pose == importer::SkeletonPose::Bind)
        import.pose = importer::SkeletonPose::File;
    import.needsClip = mode == vlo::ExportMode::Animation || import.pose != importer::SkeletonPose::Bind;
    import.model = mode != vlo::ExportMode::Animation;
    import.extractingEmbedded = !request.extractTexturesTo.empty();
    const importer::ImportResult imported = importer::ImportFile(request.input, scene, import);
    r.importSeconds = Seconds(importStart);
    r.scene = imported.info;
    r.usedFiles = imported.usedFiles;
    if (!imported.ok)
        return Fails(r, imported.failure == importer::ImportResult::Failure::NeedsChoice ? kExitNeedsChoice : kExitUsage,
                     imported.error);
    const std::vector<std::string> outputs = OutputFiles(request.output);
    if (const std::string clobbered = ClobberedInput(outputs, imported.usedFiles); !clobbered.empty())
        return Fails(r, kExitUsage, "the output " + clobbered + " is the scene file or a file it uses: nothing was written");
    for (const auto& w : imported.info.warnings) Add(r, Warning(request.input + ": " + w));
    const std::vector<ImageToExtract> images =
        request.extractTexturesTo.empty()
            ? std::vector<ImageToExtract>{}
            : ImagesToExtract(imported.embeddedImages, request.extractTexturesTo, outputs, r);

    const Selection selection = ChooseSelection(
        scene, {request.select, request.all, mode, fs::path(request.input).stem().string(), request.input});
    if (!selection.problem.empty())
        return Fails(r, selection.needsChoice ? kExitNeedsChoice : kExitUsage, selection.problem);
    for (const std::string& w : selection.warnings) Add(r, Warning(w));
    for (const importer::NodeWarning& w : imported.nodeWarnings)
        if (std::find(selection.meshSources.begin(), selection.meshSources.end(), w.node) != selection.meshSources.end())
            Add(r, Warning(request.input + ": " + w.text));
    standin::Node& node = *SelectedNode(scene);
    standin::Node& named = selection.named ? *selection.named : node;
    r.object = node.Name();
    AddPropertyKeyFrames(node, request.keyFrames);
    CheckKeyFrameText(node, r);
    CheckMarkerNames(scene, request.choices, r);
    if (mode != vlo::ExportMode::Animation && !request.choices.removeAllMarkers)
        SayNestedEmpties(selection.named, selection.meshSources, r);
    if (!request.mode && SkinOf(node))
        Add(r, Warning("object '" + r.object +
                       "' is skinned; exporting it as a static shape (use --mode hierarchy for a skinned model)"));
    if (request.dryRun) {
        // The output's folder exists, or can be made under the nearest folder that does.
        fs::path folder = fs::absolute(request.output).parent_path();
        while (!fs::exists(folder) && folder.has_parent_path() && folder != folder.parent_path()) folder = folder.parent_path();
        if (!fs::is_directory(folder))
            return Fails(r, kExitExportFailed, "the output " + request.output + " cannot go under " + folder.string());
        return r;
    }

    const auto exportStart = Clock::now();
    standin::Desktop desktop;
    desktop.PinClock(request.createdAt);
    DialogChoices choices = request.choices;
    choices.mode = mode;
    if (choices.soundFile) choices.soundFile = HostPath(fs::absolute(*choices.soundFile).string());
    for (const KeyFrameRequest& k : request.keyFrames)
        if (k.slot != vlo::kAddressBall && k.frame >= 0) choices.keyFrames.push_back({k.slot, k.frame});
    QueueDialogs(desktop, choices);
    ExportOutcome outcome = RunExport(scene, desktop, request.output, RunOptions{nullptr, /*holdFiles=*/true});
    VloExporter& exporter = *outcome.exporter;
    for (const vlo::Notice& n : exporter.Result().notices) Add(r, FromNotice(n, node, named, scene));
    for (const std::string& p : outcome.problems) Add(r, Failure(p));
    if (!exporter.Result().held) {
        if (exporter.Result().notices.empty()) Add(r, Failure("nothing was exported"));
        r.status = kExitExportFailed;
        return r;
    }

    // What was made, checked before anything is written.
    const int tpf = scene.TicksPerFrame();
    r.firstFrame = scene.animRange.Start() / tpf;
    r.lastFrame = scene.animRange.End() / tpf;
    r.model = exporter.TakeModel();
    r.animation = exporter.TakeAnimation();
    if (r.model) {
        CheckModelPlacement(*r.model, choices, mode, r);
        if (ISkin* skin = mode == vlo::ExportMode::Hierarchy ? SkinOf(node) : nullptr; skin && skin->GetNumBones() > 0)
            CheckSkeletonStretch(static_cast<standin::Node*>(skin->GetBone(0)), 0, r);
        CheckNameLengths(r.model->text.boneNames, "bone", r);
        CheckNameLengths(r.model->text.markerNames, "marker", r);
    }
    if (r.animation) {
        CheckTimeline(exporter.settings, request, r);
        CheckStillPose(node, scene, request, r);
        CheckSkeletonStretch(&node, scene.animRange.Start(), r);
        CheckDrivenNodes(node, *r.animation, imported.motions, r);
        CheckNameLengths(r.animation->text.boneNames, "bone", r);
        CheckNameLengths(r.animation->text.markerNames, "marker", r);
    }
    // A refused export keeps nothing: its held files go, and the result holds no model or animation.
    auto refuse = [&](std::string why) {
        exporter.DiscardHeldFiles();
        r.model.reset();
        r.animation.reset();
        return Fails(r, kExitExportFailed, std::move(why));
    };
    if (request.strict && r.Warnings() > 0) return refuse("--strict: the warnings above fail the export; nothing was written");
    if (request.verify) {
        const auto verifyStart = Clock::now();
        const std::string held = exporter.HeldDataFile();
        r.verification = r.model ? VerifyModel(held, *r.model, node, exporter.settings, request.tolerances)
                                 : VerifyAnimation(held, *r.animation, node, exporter.settings, request.tolerances);
        r.verifySeconds = Seconds(verifyStart);
        if (!r.verification.Passed()) {
            for (const std::string& f : r.verification.failures) Add(r, Failure("verification: " + f));
            return refuse("the written file does not match the scene: nothing was written");
        }
    }
    const std::size_t before = exporter.Result().notices.size();
    const bool published = exporter.PublishHeldFiles();
    for (std::size_t i = before; i < exporter.Result().notices.size(); ++i)
        Add(r, FromNotice(exporter.Result().notices[i], node, named, scene));
    r.exportSeconds = Seconds(exportStart);
    if (!published) {
        r.status = kExitExportFailed;
        r.model.reset();
        r.animation.reset();
        return r;
    }
    r.files = exporter.Result().files;
    WriteImages(images, request.extractTexturesTo, r);
    return r;
}

}  // namespace

// Memory that runs out (a frame range of millions of frames, a scene too large for the machine) fails
// the export instead of ending the program, which would end every export of a build with it. Nothing
// is written: the exporter's unfinished files are removed as it unwinds.
ExportResult ExportFile(const ExportRequest& request) {
    try {
        return ExportOrThrow(request);
    } catch (const std::bad_alloc&) {
        std::string why = "not enough memory to export " + request.input;
        if (const auto& range = request.import.range) {
            const long long frames = (long long)range->second - range->first + 1;
            why += " over the " + std::to_string(frames) + " frames of --range " + std::to_string(range->first) + ":" +
                   std::to_string(range->second) + "; nothing was written (export fewer frames)";
        } else {
            why += "; nothing was written";
        }
        return Fails(ExportResult{}, kExitExportFailed, why);
    }
}

}  // namespace app
