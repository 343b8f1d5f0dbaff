#include "tools/vloexport.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include <unistd.h>

#include <iostream>

#include "app/export_job.h"
#include "app/selection.h"
#include "tools/build.h"
#include "tools/command_line.h"
#include "tools/export_flags.h"
#include "tools/report.h"
#include "importer/importer.h"
#include "importer/wording.h"
#include "standin/attach.h"

namespace tools {
namespace {

using importer::CountOf;

std::string Describe(standin::Node& node) {
    Object* obj = node.EvalWorldState(0).obj;
    if (!obj) return "node";
    if (obj->ClassID() == DUMMY_CLASS_ID) return "dummy";
    if (node.GetTMController() && node.GetTMController()->ClassID() == BIPBODY_CONTROL_CLASS_ID) return "biped root";
    if (standin::HasMesh(node)) {
        if (obj->ClassID() == triObjectClassID) {
            const Mesh& m = static_cast<TriObject*>(obj)->mesh;
            std::string s = "mesh, " + CountOf(m.verts.size(), "vertex", "vertices") + ", " + CountOf(m.faces.size(), "triangle");
            if (Mtl* mtl = node.GetMtl()) s += ", material '" + std::string(mtl->GetName()) + "'";
            if (ISkin* skin = app::SkinOf(node)) s += ", skinned to " + CountOf(std::size_t(skin->GetNumBones()), "bone");
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

void PrintList(const ExportFlags& s, const importer::SceneInfo& info, standin::Scene& scene, std::ostream& out) {
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
            << c.fps << " fps, " << CountOf(c.channels, "animated node") << (c.name == info.clip ? " (applied)" : "") << "\n";
    }
    if (!info.clip.empty())
        out << "  animation range: frames " << info.firstFrame << " to " << info.lastFrame << " (" << info.clipSpan
            << ") at " << info.fps << " fps (" << info.fpsSource << ")\n";
    else if (info.clips.size() > 1)
        out << "  no clip applied: choose one with --clip NAME or NUMBER\n";
    PrintTree(scene.Root(), 1, app::SkeletonRoots(scene), out);
}

// The one-line account of what was written.
void PrintSummary(const app::ExportRequest& s, const app::ExportResult& r, std::ostream& out) {
    if (r.animation) {
        const vlo::VlaAnimation& a = *r.animation;
        out << "wrote " << r.files.front() << ": root '" << r.object << "', " << CountOf(a.header.numBones, "bone") << ", "
            << CountOf(a.header.numFrames, "frame") << " (" << r.firstFrame << " to " << r.lastFrame << " at "
            << a.header.frameRate << " fps" << (r.scene.clip.empty() ? "" : ", clip '" + r.scene.clip + "'") << "), "
            << CountOf(a.markers.size(), "marker") << "\n";
    } else if (r.model) {
        const vlo::VloModel& m = *r.model;
        out << "wrote " << s.output << ": object '" << r.object << "', " << CountOf(m.vertices.size(), "vertex", "vertices")
            << ", " << CountOf(m.polygons.size(), "polygon") << ", " << CountOf(m.textures.size(), "texture") << ", "
            << CountOf(m.markers.size(), "marker") << ", scale 1 m = " << m.text.worldScale
            << (m.text.worldScale == 1 ? " unit" : " units") << "\n";
    }
}

}  // namespace

// What --help shows after the options.
constexpr const char* kFooter = R"(Commands for whole builds (see vloexport build --help, vloexport ninja --help):
  vloexport build art.toml -j4 --report build.json   every asset of a manifest, incrementally
  vloexport ninja art.toml -o build.ninja            the same assets as a Ninja file

Examples:
  vloexport prop.gltf --list                       the scene's objects, unit, scale and clips
  vloexport prop.gltf -o prop.VLO --origin world   a static model (Shape)
  vloexport golfer.fbx --mode hierarchy --select Body -o golfer.VLO
                                                   a skinned model (Hierarchy)
  vloexport golfer.fbx --clip Swing --keyframe 62:BALL_STRUCK -o swing.VLA
                                                   an animation, frames on the file's timeline

Exit status: 0 the files were written; 1 the export failed (nothing was written); 2 bad usage or an
unreadable input; 3 the input needs a choice (several meshes, skeletons or clips, none chosen).)";

namespace {

constexpr const char* kBuildFooter = R"(A manifest is a TOML file: [defaults] that every asset starts from, then one [[asset]]
table per export with vloexport's long options as keys (input, output, mode, select, all, origin,
swap-yz, scale, collisions, semi-transparent, bump, specular, sound, remove-markers, add-markers,
no-markers, zero-root-rotation, keyframes, clip, range, fps, up, pose, biped-root, file-units,
strict, created-at); paths are relative to the manifest's folder:

  [defaults]
  origin = "world"
  [[asset]]
  input = "art/flagpin.gltf"
  output = "build/flagpin.VLO"
  [[asset]]
  input = "art/golfer.fbx"
  output = "build/swing.VLA"
  mode = "animation"
  clip = "Swing"
  keyframes = ["5:ADDRESS_BALL", "62:BALL_STRUCK"]

An asset is exported when its output is missing or any file its last export read (the scene, its
textures, buffers and material libraries), its options or the tool changed; each export is read
back and verified against its scene. A failing asset does not stop the others.

Examples:
  vloexport build art.toml                     build what changed, on every core
  vloexport build art.toml --dry-run           check every asset and write nothing (for CI)
  vloexport build art.toml --force -j1 --report build.json
  vloexport build art.toml --html build/page      then open build/page/index.html

Exit status: 0 every asset exported or up to date; 1 an asset failed (the others were built);
2 the manifest does not read.)";

int RunBuildCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    BuildOptions o;
    CLI::App app{"Exports every asset of a build manifest, in parallel and incrementally.", "vloexport build"};
    app.add_option("manifest", o.manifest, "The manifest (TOML)")->required()->check(CLI::ExistingFile);
    app.add_option("-j,--jobs", o.jobs, "Exports at once (default: one per core)")->check(CLI::Range(1, 256));
    app.add_flag("--force", o.force, "Export every asset, up to date or not");
    app.add_flag("--dry-run", o.dryRun, "Check every asset (inputs readable, objects and clips found); write nothing");
    app.add_option("--report", o.report, "Write a JSON report of every asset (docs/report.schema.json)");
    app.add_option("--html", o.html,
                   "Write the build's page into this folder: index.html with every asset's preview sheet, counts, "
                   "diagnostics and verification, sortable and filterable");
    app.footer(kBuildFooter);
    if (const auto status = ParseCommandLine(app, args, out, err)) return *status;
    o.terminal = &err == &std::cerr && isatty(STDERR_FILENO);
    return RunBuild(o, out, err);
}

int RunNinjaCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string manifest, output = "build.ninja", program;
    CLI::App app{"Writes a Ninja file with one edge per asset of a build manifest.", "vloexport ninja"};
    app.add_option("manifest", manifest, "The manifest (TOML)")->required()->check(CLI::ExistingFile);
    app.add_option("-o,--output", output, "The Ninja file to write (default: build.ninja)");
    app.add_option("--vloexport", program, "The vloexport program the edges run (default: this one)");
    app.footer("Example:\n  vloexport ninja art.toml -o build.ninja && ninja -f build.ninja -j8");
    if (const auto status = ParseCommandLine(app, args, out, err)) return *status;
    if (program.empty()) {
        std::error_code ec;
        program = std::filesystem::read_symlink("/proc/self/exe", ec).string();
        if (ec || std::filesystem::path(program).filename() != "vloexport") program = "vloexport";
    } else if (program.find('/') != std::string::npos) {
        // The Ninja file runs wherever ninja is started; a bare name is left to PATH.
        program = std::filesystem::absolute(program).lexically_normal().string();
    }
    return RunNinja(manifest, output, program, out, err);
}

}  // namespace

int RunVloExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args[0] == "build") return RunBuildCommand({args.begin() + 1, args.end()}, out, err);
    if (!args.empty() && args[0] == "ninja") return RunNinjaCommand({args.begin() + 1, args.end()}, out, err);
    ExportFlags flags;
    std::string report;
    bool list = false, quiet = false, version = false;
    CLI::App app{"Exports a model or an animation from a scene file as a VLO or VLA file.", "vloexport"};
    AddExportFlags(app, flags);
    app.add_flag("--list", list, "Print the scene's objects, unit, scale and clips, and exit");
    app.add_flag("-q,--quiet", quiet, "Print nothing on success");
    app.add_flag("--version", version, "Print the version and exit");
    app.add_option("--report", report, "Write a JSON report of the export (docs/report.schema.json)");
    app.footer(kFooter);
    // --version stands alone, without an input.
    if (args.size() == 1 && args[0] == "--version") {
        out << "vloexport " << app::kVersion << "\n";
        return app::kExitOk;
    }
    if (const auto status = ParseCommandLine(app, args, out, err)) return *status;
    if (list) {
        standin::Scene scene;
        const importer::ImportResult imported = importer::ImportFile(flags.input, scene, ImportOptionsOf(flags));
        if (!imported.ok) {
            err << "error: " << imported.error << "\n";
            return app::kExitUsage;
        }
        for (const auto& w : imported.info.warnings) err << "warning: " << flags.input << ": " << w << "\n";
        for (const auto& w : imported.nodeWarnings) err << "warning: " << flags.input << ": " << w.text << "\n";
        PrintList(flags, imported.info, scene, out);
        return app::kExitOk;
    }
    app::ExportRequest request;
    if (const auto problem = ToRequest(flags, request)) {
        err << "error: --" << *problem << "\nRun 'vloexport --help' for the options.\n";
        return app::kExitUsage;
    }
    if (!report.empty())
        if (const std::string problem =
                ReportPathProblem(report, app::OutputFiles(request.output));
            !problem.empty()) {
            err << "error: --report " << report << ": " << problem << "; nothing was written (name another file)\n";
            return app::kExitUsage;
        }
    const auto start = std::chrono::steady_clock::now();
    const app::ExportResult result = app::ExportFile(request);
    for (const app::Diagnostic& d : result.diagnostics) err << app::FormatDiagnostic(d) << "\n";
    if (result.status == app::kExitOk && !quiet) PrintSummary(request, result, out);
    if (!report.empty()) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ExportFlags resolved = flags;
        resolved.output = request.output;
        const AssetStatus status = result.status == app::kExitOk ? AssetStatus::Exported : AssetStatus::Failed;
        ReportSummary summary;
        summary.assets = 1;
        summary.exported = status == AssetStatus::Exported;
        summary.failed = status == AssetStatus::Failed;
        summary.warnings = result.Warnings();
        summary.seconds = seconds;
        std::string error;
        if (!WriteReport(report, Report("", {AssetReport(resolved, status, result, seconds)}, summary), error)) {
            err << "error: cannot write the report " << report << " (" << error << ")\n";
            return result.status == app::kExitOk ? app::kExitExportFailed : result.status;
        }
    }
    return result.status;
}

}  // namespace tools
