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
#include "tools/export_flags.h"
#include "app/selection.h"
#include "importer/importer.h"
#include "standin/attach.h"

namespace tools {
namespace {

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
void PrintSummary(const app::ExportRequest& s, const app::ExportResult& r, std::ostream& out) {
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

}  // namespace

// What --help shows after the options.
constexpr const char* kFooter = R"(Examples:
  vloexport prop.gltf --list                       the scene's objects, unit, scale and clips
  vloexport prop.gltf -o prop.VLO --origin world   a static model (Shape)
  vloexport golfer.fbx --mode hierarchy --select Body -o golfer.VLO
                                                   a skinned model (Hierarchy)
  vloexport golfer.fbx --clip Swing --keyframe 62:BALL_STRUCK -o swing.VLA
                                                   an animation, frames on the file's timeline

Exit status: 0 the files were written; 1 the export failed (nothing was written); 2 bad usage or an
unreadable input; 3 the input needs a choice (several meshes, skeletons or clips, none chosen).)";

int RunVloExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ExportFlags flags;
    bool list = false, quiet = false, version = false;
    CLI::App app{"Exports a model or an animation from a scene file as a VLO or VLA file.", "vloexport"};
    AddExportFlags(app, flags);
    app.add_flag("--list", list, "Print the scene's objects, unit, scale and clips, and exit");
    app.add_flag("-q,--quiet", quiet, "Print nothing on success");
    app.add_flag("--version", version, "Print the version and exit");
    app.footer(kFooter);
    try {
        // --version stands alone, without an input.
        if (args.size() == 1 && args[0] == "--version") {
            out << "vloexport " << app::kVersion << "\n";
            return app::kExitOk;
        }
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return app::kExitOk;
    } catch (const CLI::ParseError& e) {
        err << "error: " << e.what() << "\n" << "Run 'vloexport --help' for the options.\n";
        return app::kExitUsage;
    }
    if (list) {
        standin::Scene scene;
        const importer::ImportResult imported = importer::ImportFile(flags.input, scene, ImportOptionsOf(flags));
        if (!imported.ok) {
            err << "error: " << imported.error << "\n";
            return app::kExitUsage;
        }
        for (const auto& w : imported.info.warnings) err << "warning: " << flags.input << ": " << w << "\n";
        PrintList(flags, imported.info, scene, out);
        return app::kExitOk;
    }
    app::ExportRequest request;
    if (const auto problem = ToRequest(flags, request)) {
        err << "error: --" << *problem << "\nRun 'vloexport --help' for the options.\n";
        return app::kExitUsage;
    }
    const app::ExportResult result = app::ExportFile(request);
    for (const app::Diagnostic& d : result.diagnostics) err << app::FormatDiagnostic(d) << "\n";
    if (result.status == app::kExitOk && !quiet) PrintSummary(request, result, out);
    return result.status;
}

}  // namespace tools
