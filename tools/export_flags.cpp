#include "tools/export_flags.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <filesystem>
#include <map>

namespace tools {
namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A validator from a check that gives the problem, or "" for a good value.
CLI::Validator Check(const char* what, std::string (*problem)(const std::string&)) {
    return CLI::Validator([problem](std::string& value) { return problem(value); }, what);
}

std::string RangeProblem(const std::string& v) { return ParseRange(v) ? "" : "expected START:END in frames"; }
std::string PoseProblem(const std::string& v) { return ValidPose(v) ? "" : "expected bind, file or a frame number"; }
std::string KeyFrameProblem(const std::string& v) {
    return ParseKeyFrame(v) ? ""
                            : "expected FRAME:NAME with NAME one of BALL_STRUCK, MOUSE_SWING_START, TOP_OF_SWING, "
                              "ADDRESS_BALL";
}

std::optional<int> WholeNumber(const std::string& text) {
    // Optional blanks around an optional sign and one to nine digits: never out of int's range.
    auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    std::size_t i = 0;
    while (i < text.size() && blank(text[i])) ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    const std::size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == digits || i - digits > 9) return std::nullopt;
    while (i < text.size() && blank(text[i])) ++i;
    if (i != text.size()) return std::nullopt;
    return std::stoi(text);
}

vlo::ExportMode ModeOf(const std::string& mode) {
    return mode == "hierarchy" ? vlo::ExportMode::Hierarchy
           : mode == "animation" ? vlo::ExportMode::Animation
                                 : vlo::ExportMode::Shape;
}

}  // namespace

std::optional<std::pair<int, int>> ParseRange(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) return std::nullopt;
    const auto a = WholeNumber(text.substr(0, colon)), b = WholeNumber(text.substr(colon + 1));
    if (!a || !b) return std::nullopt;
    return std::pair{*a, *b};
}

std::optional<app::KeyFrameRequest> ParseKeyFrame(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) return std::nullopt;
    const auto frame = WholeNumber(text.substr(0, colon));
    if (!frame) return std::nullopt;
    std::string name = text.substr(colon + 1);
    for (char& c : name) c = char(std::toupper(static_cast<unsigned char>(c)));
    for (int slot = 0; slot < vlo::kNumKeyFrameSlots; ++slot)
        if (name == vlo::kKeyFrameNames[slot]) return app::KeyFrameRequest{slot, *frame};
    return std::nullopt;
}

bool ValidPose(const std::string& text) { return text == "bind" || text == "file" || WholeNumber(text).has_value(); }

void AddExportFlags(CLI::App& app, ExportFlags& f) {
    app.add_option("input", f.input, "Scene file to read (FBX, glTF/GLB, COLLADA, OBJ, ...)")->required();
    app.add_option("-o,--output", f.output,
                   "VLO (or VLA) file to write; its .TXT information file goes beside it (default: the input's name "
                   "with .VLO, or .VLA for an animation, in the current folder)");
    app.add_option("--mode", f.mode, "shape, hierarchy (a skinned model) or animation (default: animation for a .VLA "
                                     "output, else shape)")
        ->check(CLI::IsMember({"shape", "hierarchy", "animation"}));
    app.add_option("--pose", f.pose,
                   "Pose of a skeleton that is not a biped: bind (its bind pose), file (as stored), or a frame "
                   "number of the animation")
        ->check(Check("POSE", PoseProblem));
    app.add_option("--biped-root", f.bipedRoot, "Treat this skeleton root as a biped: figure mode shows the bind pose");
    app.add_option("--clip", f.clip,
                   "Animation clip, by name (any case) or by its number in --list (needed when the file has several)");
    app.add_option("--range", f.range, "Frames to export, START:END on the file's timeline (default: the clip's)")
        ->check(Check("START:END", RangeProblem));
    app.add_option("--fps", f.fps,
                   "Frame rate (default: the file's for FBX; else the common rate every key lies on, or 30)")
        ->check(CLI::Range(1, 4800));
    app.add_flag("--file-units", f.fileUnits, "Keep the file's own length unit instead of converting to metres");
    app.add_option("--extract-textures", f.extractTextures,
                   "Write the images embedded in the scene file into this folder, under the names the model stores");
    app.add_option("--keyframe", f.keyframes,
                   "Swing key frame FRAME:NAME, NAME one of BALL_STRUCK, MOUSE_SWING_START, TOP_OF_SWING, "
                   "ADDRESS_BALL (repeatable)")
        ->check(Check("FRAME:NAME", KeyFrameProblem));
    app.add_flag_function(
        "--zero-root-rotation", [&f](std::int64_t) { f.zeroRootRotation = true; }, "Tick 'Zero initial root rotation'");
    app.add_flag_function(
        "--no-zero-root-rotation", [&f](std::int64_t) { f.zeroRootRotation = false; },
        "Untick 'Zero initial root rotation'");
    app.add_option("--origin", f.origin, "Export origin (default: base)")
        ->check(CLI::IsMember({"base", "center", "world", "pivot"}));
    app.add_flag("--no-swap-yz", f.noSwap, "Keep the host's Z up instead of swapping Y and Z");
    app.add_option("--scale", f.scale, "1 unit = 1 metre, or measure the object named 'yardstick' (default: "
                                       "yardstick when the scene has one)")
        ->check(CLI::IsMember({"unit", "yardstick"}));
    app.add_flag("--no-collisions", f.noCollisions, "Set the model's no-collisions flag");
    app.add_flag("--semi-transparent", f.semiTransparent, "Set the model's semi-transparent flag");
    app.add_flag("--bump", f.bump, "Export the bump map and tangent frames");
    app.add_flag("--specular", f.specular, "Export the specular (glossiness) map");
    app.add_option("--sound", f.sound, "Sound file of the model (stored relative to a SOUNDS folder)")
        ->check(CLI::ExistingFile);
    app.add_option("--remove-marker", f.removeMarkers, "Leave out the root-level dummy marker of this name (repeatable)");
    app.add_flag("--no-markers", f.noMarkers, "Leave out every dummy marker");
    app.add_option("--add-marker", f.addMarkers, "Add back a removed dummy marker of this name (repeatable)");
    auto* select = app.add_option("--select", f.select,
                                  "Object to export, by name or by path (Group/Cube1); a group or dummy exports every "
                                  "mesh below it, attached");
    app.add_flag("--all", f.all, "Attach every mesh of the scene (but the yardstick) into one model")->excludes(select);
    app.add_option("--up", f.up, "The file's up axis (default: from the file; OBJ: y)")
        ->check(CLI::IsMember({"file", "y", "z"}));
    app.add_option("--created-at", f.createdAt,
                   "Creation time written in the information text, as seconds since 1970 (UTC), for "
                   "byte-identical outputs");
    app.add_flag("--force", f.force, "Write a model whose extension is not .VLO or .VLA (an animation's is always .VLA)");
    app.add_flag("--strict", f.strict, "Fail on any warning (exit 1, nothing written)");
    app.add_flag("--verify", f.verify,
                 "Read the written file back and compare it with the scene (corners, triangles, weights, bone "
                 "rotations, root travel); past the tolerances the export fails and nothing is written");
}

importer::ImportOptions ImportOptionsOf(const ExportFlags& f) {
    importer::ImportOptions options;
    options.up = f.up == "y" ? importer::UpAxis::Y : f.up == "z" ? importer::UpAxis::Z : importer::UpAxis::FromFile;
    options.pose = f.pose == "file" ? importer::SkeletonPose::File
                   : f.pose == "bind" ? importer::SkeletonPose::Bind
                                      : importer::SkeletonPose::Frame;
    options.poseFrame = options.pose == importer::SkeletonPose::Frame ? WholeNumber(f.pose).value_or(0) : 0;
    options.clip = f.clip;
    options.fps = f.fps;
    options.fileUnits = f.fileUnits;
    options.range = f.range.empty() ? std::nullopt : ParseRange(f.range);
    options.bipedRoot = f.bipedRoot;
    return options;
}

std::optional<std::string> ToRequest(ExportFlags f, app::ExportRequest& request) {
    for (const auto& k : f.keyframes) {
        const auto parsed = ParseKeyFrame(k);
        if (!parsed) return "keyframe " + k + ": " + KeyFrameProblem(k);
        request.keyFrames.push_back(*parsed);
    }
    if (!f.range.empty() && !ParseRange(f.range)) return "range " + f.range + ": " + RangeProblem(f.range);
    if (!ValidPose(f.pose)) return "pose " + f.pose + ": " + PoseProblem(f.pose);
    if (f.all && !f.select.empty()) return "all and select exclude each other";
    if (!f.sound.empty() && !std::filesystem::is_regular_file(f.sound)) return "sound " + f.sound + ": no such file";
    if (!f.mode.empty() && f.mode != "shape" && f.mode != "hierarchy" && f.mode != "animation")
        return "mode " + f.mode + ": expected shape, hierarchy or animation";
    if (f.mode.empty() && Lower(std::filesystem::path(f.output).extension().string()) == ".vla") f.mode = "animation";
    if (f.output.empty())
        f.output = std::filesystem::path(f.input).stem().string() + (f.mode == "animation" ? ".VLA" : ".VLO");

    request.input = f.input;
    request.output = f.output;
    request.import = ImportOptionsOf(f);
    request.select = f.select;
    request.all = f.all;
    if (!f.mode.empty()) request.mode = ModeOf(f.mode);
    request.createdAt = f.createdAt;
    request.extractTexturesTo = f.extractTextures;
    request.force = f.force;
    request.strict = f.strict;
    request.verify = f.verify;
    app::DialogChoices& c = request.choices;
    static const std::map<std::string, vlo::OriginMode> kOrigins{{"world", vlo::OriginMode::World},
                                                                 {"center", vlo::OriginMode::Center},
                                                                 {"base", vlo::OriginMode::Base},
                                                                 {"pivot", vlo::OriginMode::Pivot}};
    if (!f.origin.empty()) {
        if (!kOrigins.count(f.origin)) return "origin " + f.origin + ": expected base, center, world or pivot";
        c.origin = kOrigins.at(f.origin);
    }
    c.swapYZ = !f.noSwap;
    if (!f.scale.empty()) c.scale = f.scale == "yardstick" ? vlo::ScaleMode::Yardstick : vlo::ScaleMode::Unit;
    c.noCollisions = f.noCollisions;
    c.semiTransparent = f.semiTransparent;
    c.bump = f.bump;
    c.specular = f.specular;
    if (!f.sound.empty()) c.soundFile = f.sound;
    c.removeAllMarkers = f.noMarkers;
    c.removeMarkers = f.removeMarkers;
    c.addMarkers = f.addMarkers;
    c.zeroRootRotation = f.zeroRootRotation;
    return std::nullopt;
}

}  // namespace tools
