#include "tools/vloexport.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "app/export_job.h"
#include "app/selection.h"
#include "importer/importer.h"
#include "standin/attach.h"

namespace tools {
namespace {

struct Settings {
    std::string input, output, mode, origin, scale, sound, select, up = "file", pose = "bind", bipedRoot;
    bool noSwap = false, noCollisions = false, semiTransparent = false, bump = false, specular = false;
    bool all = false, list = false, noMarkers = false, quiet = false, fileUnits = false;
    std::string extractTextures;
    std::vector<std::string> removeMarkers, addMarkers;
    std::optional<long long> createdAt;
    std::string clip, range;
    int fps = 0;
    std::vector<std::string> keyframes;
    bool zeroRootRotation = false, noZeroRootRotation = false;
};

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
            if (ISkin* skin = app::SkinOf(node)) s += ", skinned to " + std::to_string(skin->GetNumBones()) + " bones";
            return s;
        }
        return "mesh";
    }
    MSTR cls;
    obj->GetClassName(cls);
    return cls;
}

void PrintTree(standin::Node& node, int depth, const std::set<standin::Node*>& skeletonRoots, std::ostream& out) {
    for (standin::Node* child : node.Children()) {
        out << std::string(std::size_t(depth) * 2, ' ') << child->Name() << "  [" << Describe(*child)
            << (skeletonRoots.count(child) ? ", skeleton root" : "") << "]\n";
        PrintTree(*child, depth + 1, skeletonRoots, out);
    }
}

vlo::OriginMode OriginOf(const std::string& origin) {
    static const std::map<std::string, vlo::OriginMode> modes{{"world", vlo::OriginMode::World},
                                                              {"center", vlo::OriginMode::Center},
                                                              {"base", vlo::OriginMode::Base},
                                                              {"pivot", vlo::OriginMode::Pivot}};
    return modes.at(origin);
}

vlo::ExportMode ModeOf(const std::string& mode) {
    return mode == "hierarchy" ? vlo::ExportMode::Hierarchy
           : mode == "animation" ? vlo::ExportMode::Animation
                                 : vlo::ExportMode::Shape;
}

// Parses FRAME:NAME; false for anything else.
bool ParseKeyFrame(const std::string& text, app::KeyFrameRequest& k) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) return false;
    try {
        std::size_t used = 0;
        k.frame = std::stoi(text.substr(0, colon), &used);
        if (used != colon) return false;
    } catch (const std::exception&) {
        return false;
    }
    std::string name = text.substr(colon + 1);
    for (char& c : name) c = char(std::toupper(static_cast<unsigned char>(c)));
    for (k.slot = 0; k.slot < vlo::kNumKeyFrameSlots; ++k.slot)
        if (name == vlo::kKeyFrameNames[k.slot]) return true;
    return false;
}

void PrintList(const Settings& s, const importer::SceneInfo& info, standin::Scene& scene, std::ostream& out) {
    out << s.input << ": " << info.format << ", read as " << info.upAxis << "-up (" << info.upAxisSource << ")";
    if (!info.skeletonPose.empty()) out << ", skeletons in " << info.skeletonPose;
    out << "\n  unit: " << info.unit
        << (s.fileUnits ? " (kept as it is: --file-units)" : info.metresPerUnit != 1.0 ? " (converted to metres)" : "") << "\n";
    if (const auto height = app::YardstickHeight(scene))
        out << "  scale: 1 m = " << *height << " scene units, measured from the yardstick (the default; --scale unit "
               "ignores it)\n";
    else
        out << "  scale: 1 unit = 1 metre (no yardstick)\n";
    for (std::size_t i = 0; i < info.clips.size(); ++i) {
        const auto& c = info.clips[i];
        out << "  clip " << (i + 1) << ": '" << c.name << "', frames " << c.firstFrame << " to " << c.lastFrame << " at "
            << c.fps << " fps, " << c.channels << " animated nodes" << (c.name == info.clip ? " (applied)" : "") << "\n";
    }
    if (!info.clip.empty())
        out << "  animation range: frames " << info.firstFrame << " to " << info.lastFrame << " (" << info.clipSpan
            << ") at " << info.fps << " fps (" << info.fpsSource << ")\n";
    else if (info.clips.size() > 1)
        out << "  no clip applied: choose one with --clip NAME or NUMBER\n";
    PrintTree(scene.Root(), 1, app::SkeletonRoots(scene), out);
}

// The one-line account of what was written.
void PrintSummary(const Settings& s, const app::ExportResult& r, std::ostream& out) {
    if (r.animation) {
        const vlo::VlaAnimation& a = *r.animation;
        out << "wrote " << r.files.front() << ": root '" << r.object << "', " << a.header.numBones << " bones, "
            << a.header.numFrames << " frames (" << r.firstFrame << " to " << r.lastFrame << " at " << a.header.frameRate
            << " fps" << (r.scene.clip.empty() ? "" : ", clip '" + r.scene.clip + "'") << "), " << a.markers.size()
            << " markers\n";
    } else if (r.model) {
        const vlo::VloModel& m = *r.model;
        out << "wrote " << s.output << ": object '" << r.object << "', " << m.vertices.size() << " vertices, "
            << m.polygons.size() << " polygons, " << m.textures.size() << " textures, " << m.markers.size()
            << " markers, scale 1 m = " << m.text.worldScale << " units\n";
    }
}

// The program's options, each a flag of the options dialog or of the import.
void AddFlags(CLI::App& app, Settings& s) {
    app.add_option("input", s.input, "Scene file to read")->required();
    app.add_option("-o,--output", s.output, "VLO file to write (its .TXT information file goes beside it)");
    app.add_option("--mode", s.mode, "Export mode (default: shape)")->check(CLI::IsMember({"shape", "hierarchy", "animation"}));
    app.add_option("--pose", s.pose,
                   "Pose of a skeleton that is not a biped: bind (its bind pose), file (as stored), or a frame "
                   "number of the animation");
    app.add_option("--biped-root", s.bipedRoot, "Treat this skeleton root as a biped: figure mode shows the bind pose");
    app.add_option("--clip", s.clip,
                   "Animation clip, by name (any case) or by its number in --list (needed when the file has several)");
    app.add_option("--range", s.range, "Frames to export, START:END on the file's timeline (default: the clip's)");
    app.add_option("--fps", s.fps,
                   "Frame rate (default: the file's for FBX; else the common rate every key lies on, or 30)")
        ->check(CLI::Range(1, 4800));
    app.add_flag("--file-units", s.fileUnits, "Keep the file's own length unit instead of converting to metres");
    app.add_option("--extract-textures", s.extractTextures,
                   "Write the images embedded in the scene file into this folder, under the names the model stores");
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
}

// Checks the flags that need more than their own validator and fills the request's key frames;
// returns the exit status for bad usage, or nothing.
std::optional<int> CheckFlags(Settings& s, app::ExportRequest& request, std::optional<std::pair<int, int>>& range,
                              int& poseFrame, std::ostream& err) {
    for (const auto& k : s.keyframes) {
        app::KeyFrameRequest parsed;
        if (!ParseKeyFrame(k, parsed)) {
            err << "error: --keyframe " << k << ": expected FRAME:NAME with NAME one of BALL_STRUCK, MOUSE_SWING_START, "
                                                "TOP_OF_SWING, ADDRESS_BALL\n";
            return app::kExitUsage;
        }
        request.keyFrames.push_back(parsed);
    }
    if (!s.range.empty()) {
        int a = 0, b = 0;
        char colon = 0, extra = 0;
        if (std::sscanf(s.range.c_str(), "%d %c %d %c", &a, &colon, &b, &extra) != 3 || colon != ':') {
            err << "error: --range " << s.range << ": expected START:END in frames\n";
            return app::kExitUsage;
        }
        range = std::pair{a, b};
    }
    if (s.pose != "bind" && s.pose != "file" && std::sscanf(s.pose.c_str(), "%d", &poseFrame) != 1) {
        err << "error: --pose " << s.pose << ": expected bind, file or a frame number\n";
        return app::kExitUsage;
    }
    if (s.mode.empty() && !s.output.empty()) {
        std::string ext = std::filesystem::path(s.output).extension().string();
        for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".vla") s.mode = "animation";
    }
    if (!s.list && s.output.empty()) {
        err << "error: no output file: give one with -o OUTPUT.VLO\n";
        return app::kExitUsage;
    }
    if (!s.sound.empty() && !std::filesystem::is_regular_file(s.sound)) {
        err << "error: sound file " << s.sound << " does not exist\n";
        return app::kExitUsage;
    }
    if (s.all && !s.select.empty()) {
        err << "error: --all and --select exclude each other\n";
        return app::kExitUsage;
    }

    return std::nullopt;
}

importer::ImportOptions ImportOptionsOf(const Settings& s, const std::optional<std::pair<int, int>>& range, int poseFrame) {
    importer::ImportOptions options;
    options.up = s.up == "y" ? importer::UpAxis::Y : s.up == "z" ? importer::UpAxis::Z : importer::UpAxis::FromFile;
    options.pose = s.pose == "file" ? importer::SkeletonPose::File
                   : s.pose == "bind" ? importer::SkeletonPose::Bind
                                      : importer::SkeletonPose::Frame;
    options.poseFrame = poseFrame;
    options.clip = s.clip;
    options.fps = s.fps;
    options.fileUnits = s.fileUnits;
    options.range = range;
    options.bipedRoot = s.bipedRoot;
    return options;
}

// The export as the flags ask for it.
void FillRequest(const Settings& s, app::ExportRequest& request) {
    request.input = s.input;
    request.output = s.output;
    request.select = s.select;
    request.all = s.all;
    if (!s.mode.empty()) request.mode = ModeOf(s.mode);
    request.createdAt = s.createdAt;
    request.extractTexturesTo = s.extractTextures;
    app::DialogChoices& c = request.choices;
    if (!s.origin.empty()) c.origin = OriginOf(s.origin);
    c.swapYZ = !s.noSwap;
    if (!s.scale.empty()) c.scale = s.scale == "yardstick" ? vlo::ScaleMode::Yardstick : vlo::ScaleMode::Unit;
    c.noCollisions = s.noCollisions;
    c.semiTransparent = s.semiTransparent;
    c.bump = s.bump;
    c.specular = s.specular;
    if (!s.sound.empty()) c.soundFile = s.sound;
    c.removeAllMarkers = s.noMarkers;
    c.removeMarkers = s.removeMarkers;
    c.addMarkers = s.addMarkers;
    if (s.zeroRootRotation) c.zeroRootRotation = true;
    if (s.noZeroRootRotation) c.zeroRootRotation = false;

}

}  // namespace

int RunVloExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Settings s;
    CLI::App app{"Exports a model from a scene file (FBX, glTF/GLB, COLLADA, OBJ, ...) as a VLO file.", "vloexport"};
    AddFlags(app, s);
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return app::kExitOk;
    } catch (const CLI::ParseError& e) {
        err << "error: " << e.what() << "\n" << "Run 'vloexport --help' for the options.\n";
        return app::kExitUsage;
    }
    app::ExportRequest request;
    std::optional<std::pair<int, int>> range;
    int poseFrame = 0;
    if (const auto status = CheckFlags(s, request, range, poseFrame, err)) return *status;
    request.import = ImportOptionsOf(s, range, poseFrame);
    if (s.list) {
        standin::Scene scene;
        const importer::ImportResult imported = importer::ImportFile(s.input, scene, request.import);
        if (!imported.ok) {
            err << "error: " << imported.error << "\n";
            return app::kExitUsage;
        }
        for (const auto& w : imported.info.warnings) err << "warning: " << s.input << ": " << w << "\n";
        PrintList(s, imported.info, scene, out);
        return app::kExitOk;
    }

    FillRequest(s, request);
    const app::ExportResult result = app::ExportFile(request);
    for (const app::Diagnostic& d : result.diagnostics) err << app::FormatDiagnostic(d) << "\n";
    if (result.status == app::kExitOk && !s.quiet) PrintSummary(s, result, out);
    return result.status;
}

}  // namespace tools
