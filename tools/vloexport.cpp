#include "tools/vloexport.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <strings.h>

#include "app/export_session.h"
#include "format/vlo_reader.h"
#include "importer/importer.h"
#include "standin/attach.h"

namespace tools {
namespace {

struct Settings {
    std::string input, output, mode, origin, scale, sound, select, up = "file", pose = "bind", bipedRoot;
    bool noSwap = false, noCollisions = false, semiTransparent = false, bump = false, specular = false;
    bool all = false, list = false, noMarkers = false, quiet = false;
    std::vector<std::string> removeMarkers, addMarkers;
    std::optional<long long> createdAt;
    std::string clip, range;
    int fps = 0;
    std::vector<std::string> keyframes;
    bool zeroRootRotation = false, noZeroRootRotation = false;
};

bool IsYardstick(standin::Node& n) { return strcasecmp(n.Name().c_str(), "yardstick") == 0; }

// The Skin modifier on node's stack, or null.
ISkin* SkinOf(standin::Node& node) {
    Object* obj = node.GetObjectRef();
    while (obj && obj->SuperClassID() == GEN_DERIVOB_CLASS_ID) {
        auto* derived = static_cast<IDerivedObject*>(obj);
        for (int i = 0; i < derived->NumModifiers(); ++i)
            if (void* skin = derived->GetModifier(i)->GetInterface(I_SKIN)) return static_cast<ISkin*>(skin);
        obj = derived->GetObjRef();
    }
    return nullptr;
}

std::string Describe(standin::Node& node) {
    Object* obj = node.EvalWorldState(0).obj;
    if (!obj) return "node";
    if (obj->ClassID() == DUMMY_CLASS_ID) return "dummy";
    if (node.GetTMController() && node.GetTMController()->ClassID() == BIPBODY_CONTROL_CLASS_ID) return "biped root";
    if (standin::HasMesh(node)) {
        if (obj->ClassID() == triObjectClassID) {
            const Mesh& m = static_cast<TriObject*>(obj)->mesh;
            std::string s = "mesh, " + std::to_string(m.verts.size()) + " vertices, " + std::to_string(m.faces.size()) +
                            " triangles";
            if (Mtl* mtl = node.GetMtl()) s += ", material '" + std::string(mtl->GetName()) + "'";
            if (ISkin* skin = SkinOf(node)) s += ", skinned to " + std::to_string(skin->GetNumBones()) + " bones";
            return s;
        }
        return "mesh";
    }
    MSTR cls;
    obj->GetClassName(cls);
    return cls;
}

// The top-level nodes that skinned meshes' bones hang from.
std::set<standin::Node*> SkeletonRoots(standin::Scene& scene) {
    std::set<standin::Node*> roots;
    for (standin::Node* n : scene.AllNodes())
        if (ISkin* skin = SkinOf(*n))
            for (int i = 0; i < skin->GetNumBones(); ++i) {
                auto* bone = static_cast<standin::Node*>(skin->GetBone(i));
                while (bone && bone->Parent() && !bone->Parent()->IsRootNode()) bone = bone->Parent();
                if (bone) roots.insert(bone);
            }
    return roots;
}

void PrintTree(standin::Node& node, int depth, const std::set<standin::Node*>& skeletonRoots, std::ostream& out) {
    for (standin::Node* child : node.Children()) {
        out << std::string(std::size_t(depth) * 2, ' ') << child->Name() << "  [" << Describe(*child)
            << (skeletonRoots.count(child) ? ", skeleton root" : "") << "]\n";
        PrintTree(*child, depth + 1, skeletonRoots, out);
    }
}

std::set<standin::Node*> SkeletonRoots(standin::Scene& scene);

// Chooses and prepares the node to export; "" on success, else the reason.
std::string ChooseSelection(standin::Scene& scene, const Settings& s) {
    for (standin::Node* n : scene.AllNodes()) n->SetSelected(false);
    const std::string stem = std::filesystem::path(s.input).stem().string();
    if (s.all) {
        std::vector<standin::Node*> meshes;
        for (standin::Node* n : standin::MeshNodesBelow(scene.Root()))
            if (!IsYardstick(*n)) meshes.push_back(n);
        if (meshes.empty()) return "no mesh objects in " + s.input;
        standin::AttachMeshes(scene, meshes, stem);
        return "";
    }
    if (!s.select.empty()) {
        standin::Node* node = scene.FindByName(s.select);
        if (!node) return "no object named '" + s.select + "' in " + s.input + " (--list shows the objects)";
        if (standin::HasMesh(*node) || node->Children().empty()) {
            node->SetSelected(true);
            return "";
        }
        const auto meshes = standin::MeshNodesBelow(*node);
        if (meshes.empty()) {
            node->SetSelected(true);  // the exporter reports what it cannot export
            return "";
        }
        standin::AttachMeshes(scene, meshes, node->Name() + " (attached)");
        return "";
    }
    if (s.mode == "animation") {
        // The skeleton to sample: the one skeleton root (of skins, bipeds or animated nodes).
        std::set<standin::Node*> roots = SkeletonRoots(scene);
        for (standin::Node* n : scene.Root().Children())
            if ((n->GetTMController() && n->GetTMController()->ClassID() == BIPBODY_CONTROL_CLASS_ID)) roots.insert(n);
        if (roots.empty())
            for (standin::Node* n : scene.AllNodes())
                if (n->Track()) {
                    standin::Node* top = n;
                    while (top->Parent() && !top->Parent()->IsRootNode()) top = top->Parent();
                    roots.insert(top);
                }
        if (roots.size() == 1) {
            (*roots.begin())->SetSelected(true);
            return "";
        }
        if (roots.empty()) return "no skeleton or animated object in " + s.input + " to export as an animation";
        std::string names;
        for (standin::Node* n : scene.AllNodes())
            if (roots.count(n)) names += "\n  " + n->Name();
        return s.input + " holds " + std::to_string(roots.size()) + " skeleton roots; choose one with --select NAME:" + names;
    }
    std::vector<standin::Node*> meshes;
    for (standin::Node* n : standin::MeshNodesBelow(scene.Root()))
        if (!IsYardstick(*n)) meshes.push_back(n);
    if (meshes.size() == 1) {
        meshes[0]->SetSelected(true);
        return "";
    }
    if (meshes.empty()) return "no mesh objects in " + s.input;
    std::string names;
    for (standin::Node* n : meshes) names += "\n  " + n->Name();
    return s.input + " holds " + std::to_string(meshes.size()) +
           " mesh objects; choose one with --select NAME or attach them all with --all:" + names;
}

int ModeId(const std::string& mode) { return mode == "hierarchy" ? 1014 : mode == "animation" ? 1015 : 1013; }

int OriginId(const std::string& origin) {
    static const std::map<std::string, int> ids{{"world", 1003}, {"center", 1004}, {"base", 1005}, {"pivot", 1007}};
    return ids.at(origin);
}

// The host's file dialog gives paths in the host's style, with backslashes.
std::string HostPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Key frames given on the command line: slot names and frames.
constexpr const char* kKeyFrameNames[4] = {"BALL_STRUCK", "MOUSE_SWING_START", "TOP_OF_SWING", "ADDRESS_BALL"};
constexpr int kKeyFrameChecks[3] = {1022, 1024, 1025};
constexpr int kKeyFrameEdits[3] = {1023, 1027, 1028};

// Parses FRAME:NAME; false for anything else.
bool ParseKeyFrame(const std::string& text, int& slot, int& frame) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) return false;
    try {
        std::size_t used = 0;
        frame = std::stoi(text.substr(0, colon), &used);
        if (used != colon) return false;
    } catch (const std::exception&) {
        return false;
    }
    std::string name = text.substr(colon + 1);
    for (char& c : name) c = char(std::toupper(static_cast<unsigned char>(c)));
    for (slot = 0; slot < 4; ++slot)
        if (name == kKeyFrameNames[slot]) return true;
    return false;
}

// The key frames the Key Frame Flags dialog can set (its three slots, frames it can show).
std::vector<std::pair<int, int>> DialogKeyFrames(const Settings& s) {
    std::vector<std::pair<int, int>> out;
    for (const auto& k : s.keyframes) {
        int slot = 0, frame = 0;
        if (ParseKeyFrame(k, slot, frame) && slot < 3 && frame >= 0) out.push_back({slot, frame});
    }
    return out;
}

// The other key frames (ADDRESS_BALL, negative frames) as property lines of the selected object, where
// the exporter reads them.
void AddPropertyKeyFrames(standin::Node& node, const Settings& s) {
    MSTR props;
    node.GetUserPropBuffer(props);
    for (const auto& k : s.keyframes) {
        int slot = 0, frame = 0;
        if (ParseKeyFrame(k, slot, frame) && (slot == 3 || frame < 0))
            props += "\r\nKEYFRAME " + std::to_string(frame) + " " + kKeyFrameNames[slot];
    }
    node.SetUserProps(props);
}

void QueueDialogs(standin::Desktop& desktop, const Settings& s) {
    if (!s.sound.empty()) desktop.QueueOpenFile(HostPath(std::filesystem::absolute(s.sound).string()));
    desktop.QueueScript(106, [s](standin::DialogDriver& d) {
        d.Click(ModeId(s.mode));
        if (!s.origin.empty()) d.Click(OriginId(s.origin));
        d.SetCheck(1002, !s.noSwap);
        if (!s.scale.empty()) d.Click(s.scale == "yardstick" ? 1028 : 1027);
        d.SetCheck(1018, s.noCollisions);
        d.SetCheck(1019, s.semiTransparent);
        d.SetCheck(1029, s.bump);
        d.SetCheck(1030, s.specular);
        if (!s.sound.empty()) d.Click(1011);
        if (s.noMarkers) {
            d.SelectItems(1020, d.Items(1020));
            d.Click(1022);
        } else if (!s.removeMarkers.empty()) {
            d.SelectItems(1020, s.removeMarkers);
            d.Click(1022);
        }
        if (!s.addMarkers.empty()) d.Click(1021);
        if (s.zeroRootRotation) d.SetCheck(1031, true);
        if (s.noZeroRootRotation) d.SetCheck(1031, false);
        if (!DialogKeyFrames(s).empty()) d.Click(1024);
        d.Click(1);
    });
    if (const auto frames = DialogKeyFrames(s); !frames.empty())
        desktop.QueueScript(107, [frames](standin::DialogDriver& d) {
            for (const auto& [slot, frame] : frames) {
                d.SetCheck(kKeyFrameChecks[slot], true);
                d.Type(kKeyFrameEdits[slot], std::to_string(frame));
            }
            d.Click(1);
        });
    if (!s.addMarkers.empty())
        desktop.QueueScript(108, [s](standin::DialogDriver& d) {
            d.SelectItems(1024, s.addMarkers);
            d.Click(1);
        });
}

// Prints the exporter's messages as diagnostics, counting repeats instead of repeating them.
void Report(const std::vector<standin::RecordedMessage>& messages, const std::string& object, std::ostream& err) {
    for (std::size_t i = 0; i < messages.size();) {
        std::size_t n = 1;
        while (i + n < messages.size() && messages[i + n].text == messages[i].text &&
               messages[i + n].caption == messages[i].caption)
            ++n;
        err << (messages[i].caption == "Warning" ? "warning: " : "error: ") << messages[i].text << " [object '" << object
            << "']";
        if (n > 1) err << " (" << n << " times)";
        err << "\n";
        i += n;
    }
}

std::string SelectedName(standin::Scene& scene) {
    for (standin::Node* n : scene.AllNodes())
        if (n->Selected()) return n->Name();
    return "";
}

}  // namespace

int RunVloExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Settings s;
    CLI::App app{"Exports a model from a scene file (FBX, glTF/GLB, COLLADA, OBJ, ...) as a VLO file.", "vloexport"};
    app.add_option("input", s.input, "Scene file to read")->required();
    app.add_option("-o,--output", s.output, "VLO file to write (its .TXT information file goes beside it)");
    app.add_option("--mode", s.mode, "Export mode (default: shape)")->check(CLI::IsMember({"shape", "hierarchy", "animation"}));
    app.add_option("--pose", s.pose,
                   "Pose of a skeleton that is not a biped: bind (its bind pose), file (as stored), or a frame "
                   "number of the animation");
    app.add_option("--biped-root", s.bipedRoot, "Treat this skeleton root as a biped: figure mode shows the bind pose");
    app.add_option("--clip", s.clip, "Animation clip to apply (default: the first; --list shows them)");
    app.add_option("--range", s.range, "Frames to export, START:END (default: the clip's, from frame 0)");
    app.add_option("--fps", s.fps, "Frame rate (default: the file's for FBX, else 30)")->check(CLI::Range(1, 4800));
    app.add_option("--keyframe", s.keyframes,
                   "Swing key frame FRAME:NAME, NAME one of BALL_STRUCK, MOUSE_SWING_START, TOP_OF_SWING, "
                   "ADDRESS_BALL (repeatable)");
    app.add_flag("--zero-root-rotation", s.zeroRootRotation, "Tick 'Zero initial root rotation'");
    app.add_flag("--no-zero-root-rotation", s.noZeroRootRotation, "Untick 'Zero initial root rotation'");
    app.add_option("--origin", s.origin, "Export origin (default: base)")
        ->check(CLI::IsMember({"base", "center", "world", "pivot"}));
    app.add_flag("--no-swap-yz", s.noSwap, "Keep the host's Z up instead of swapping Y and Z");
    app.add_option("--scale", s.scale, "1 unit = 1 metre, or measure the object named 'yardstick' (default: "
                                       "yardstick when the scene has one)")
        ->check(CLI::IsMember({"unit", "yardstick"}));
    app.add_flag("--no-collisions", s.noCollisions, "Set the model's no-collisions flag");
    app.add_flag("--semi-transparent", s.semiTransparent, "Set the model's semi-transparent flag");
    app.add_flag("--bump", s.bump, "Export the bump map and tangent frames");
    app.add_flag("--specular", s.specular, "Export the specular (glossiness) map");
    app.add_option("--sound", s.sound, "Sound file of the model (stored relative to a SOUNDS folder)");
    app.add_option("--remove-marker", s.removeMarkers, "Leave out the root-level dummy marker of this name (repeatable)");
    app.add_flag("--no-markers", s.noMarkers, "Leave out every dummy marker");
    app.add_option("--add-marker", s.addMarkers, "Add back a removed dummy marker of this name (repeatable)");
    app.add_option("--select", s.select, "Object to export; a group or dummy exports every mesh below it, attached");
    app.add_flag("--all", s.all, "Attach every mesh of the scene (but the yardstick) into one model");
    app.add_flag("--list", s.list, "Print the scene's objects and exit");
    app.add_option("--up", s.up, "The file's up axis (default: from the file; OBJ: y)")
        ->check(CLI::IsMember({"file", "y", "z"}));
    app.add_option("--created-at", s.createdAt,
                   "Creation time written in the information text, as seconds since 1970 (UTC), for "
                   "byte-identical outputs");
    app.add_flag("-q,--quiet", s.quiet, "Print nothing on success");
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        err << "error: " << e.what() << "\n" << "Run 'vloexport --help' for the options.\n";
        return kExitUsage;
    }
    for (const auto& k : s.keyframes) {
        int slot = 0, frame = 0;
        if (!ParseKeyFrame(k, slot, frame)) {
            err << "error: --keyframe " << k << ": expected FRAME:NAME with NAME one of BALL_STRUCK, MOUSE_SWING_START, "
                                                "TOP_OF_SWING, ADDRESS_BALL\n";
            return kExitUsage;
        }
    }
    std::optional<std::pair<int, int>> range;
    if (!s.range.empty()) {
        int a = 0, b = 0;
        char colon = 0, extra = 0;
        if (std::sscanf(s.range.c_str(), "%d %c %d %c", &a, &colon, &b, &extra) != 3 || colon != ':') {
            err << "error: --range " << s.range << ": expected START:END in frames\n";
            return kExitUsage;
        }
        range = std::pair{a, b};
    }
    int poseFrame = 0;
    if (s.pose != "bind" && s.pose != "file" && std::sscanf(s.pose.c_str(), "%d", &poseFrame) != 1) {
        err << "error: --pose " << s.pose << ": expected bind, file or a frame number\n";
        return kExitUsage;
    }
    if (s.mode.empty() && !s.output.empty()) {
        std::string ext = std::filesystem::path(s.output).extension().string();
        for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".vla") s.mode = "animation";
    }
    if (!s.list && s.output.empty()) {
        err << "error: no output file: give one with -o OUTPUT.VLO\n";
        return kExitUsage;
    }
    if (!s.sound.empty() && !std::filesystem::is_regular_file(s.sound)) {
        err << "error: sound file " << s.sound << " does not exist\n";
        return kExitUsage;
    }
    if (s.all && !s.select.empty()) {
        err << "error: --all and --select exclude each other\n";
        return kExitUsage;
    }

    standin::Scene scene;
    importer::ImportOptions options;
    options.up = s.up == "y" ? importer::UpAxis::Y : s.up == "z" ? importer::UpAxis::Z : importer::UpAxis::FromFile;
    options.pose = s.pose == "file" ? importer::SkeletonPose::File
                   : s.pose == "bind" ? importer::SkeletonPose::Bind
                                      : importer::SkeletonPose::Frame;
    options.poseFrame = poseFrame;
    // An animation samples the file's motion; a non-biped skeleton is then not held in its bind pose.
    if (s.mode == "animation" && s.pose == "bind") options.pose = importer::SkeletonPose::File;
    options.clip = s.clip;
    options.fps = s.fps;
    options.range = range;
    options.bipedRoot = s.bipedRoot;
    const importer::ImportResult imported = importer::ImportFile(s.input, scene, options);
    if (!imported.ok) {
        err << "error: " << imported.error << "\n";
        return kExitUsage;
    }
    for (const auto& w : imported.info.warnings) err << "warning: " << s.input << ": " << w << "\n";

    if (s.list) {
        out << s.input << ": " << imported.info.format << ", read as " << imported.info.upAxis << "-up ("
            << imported.info.upAxisSource << ")";
        if (imported.info.unitScaleFactor > 0) out << ", unit scale factor " << imported.info.unitScaleFactor;
        if (!imported.info.skeletonPose.empty()) out << ", skeletons in " << imported.info.skeletonPose;
        out << "\n";
        for (std::size_t i = 0; i < imported.info.clips.size(); ++i) {
            const auto& c = imported.info.clips[i];
            out << "  clip " << (i + 1) << ": '" << c.name << "', " << c.seconds << " s, " << c.channels
                << " animated nodes" << (c.name == imported.info.clip ? " (applied)" : "") << "\n";
        }
        if (!imported.info.clip.empty())
            out << "  animation range: frames " << imported.info.firstFrame << " to " << imported.info.lastFrame << " at "
                << imported.info.fps << " fps\n";
        PrintTree(scene.Root(), 1, SkeletonRoots(scene), out);
        return kExitOk;
    }

    if (const std::string problem = ChooseSelection(scene, s); !problem.empty()) {
        err << "error: " << problem << "\n";
        return kExitUsage;
    }
    const std::string object = SelectedName(scene);
    if (standin::Node* node = scene.FindByName(object)) AddPropertyKeyFrames(*node, s);
    if (s.mode.empty()) {
        s.mode = "shape";
        if (standin::Node* node = scene.FindByName(object); node && SkinOf(*node))
            err << "warning: object '" << object
                << "' is skinned; exporting it as a static shape (use --mode hierarchy for a skinned model)\n";
    }

    if (s.createdAt) setenv("SOURCE_DATE_EPOCH", std::to_string(*s.createdAt).c_str(), 1);
    standin::Desktop desktop;
    QueueDialogs(desktop, s);
    app::ExportOutcome outcome = app::RunExport(scene, desktop, s.output);
    if (s.createdAt) unsetenv("SOURCE_DATE_EPOCH");
    Report(outcome.messages, object, err);
    for (const auto& p : outcome.problems) err << "error: " << p << "\n";
    if (!outcome.written) {
        if (outcome.messages.empty()) err << "error: nothing was exported\n";
        return kExitExportFailed;
    }
    if (!s.quiet && s.mode == "animation") {
        const VloExporter& e = *outcome.exporter;
        const auto dot = s.output.find('.', s.output.find_last_of("/\\") + 1);
        out << "wrote " << s.output.substr(0, dot) << ".VLA: root '" << object << "', " << e.animHeader.numBones
            << " bones, " << e.numFrames << " frames (" << e.startFrame << " to " << e.endFrame << " at "
            << e.animHeader.frameRate << " fps" << (imported.info.clip.empty() ? "" : ", clip '" + imported.info.clip + "'")
            << "), " << e.markerNodes.size() << " markers\n";
    } else if (!s.quiet) {
        const VloExporter& e = *outcome.exporter;
        out << "wrote " << s.output << ": object '" << object << "', " << e.vertices.size() << " vertices, "
            << e.polygons.size() << " polygons, " << e.textures.size() << " textures, " << e.markerNodes.size()
            << " markers, scale 1 m = " << e.worldScale << " units\n";
    }
    return kExitOk;
}

}  // namespace tools
