#include "app/export_job.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/plugin_host.h"
#include "app/selection.h"
#include "format/output_file.h"

namespace app {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// The host's file dialog gives paths in the host's style, with backslashes.
std::string HostPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

Diagnostic Warning(std::string text) { return {Diagnostic::Level::Warning, std::move(text), "", 1, false}; }
// A diagnostic of an export that stopped.
Diagnostic Failure(std::string text) { return {Diagnostic::Level::Error, std::move(text), "", 1, true}; }

void Add(ExportResult& r, Diagnostic d) {
    if (!r.diagnostics.empty()) {
        Diagnostic& last = r.diagnostics.back();
        if (last.level == d.level && last.text == d.text && last.object == d.object) {
            ++last.repeats;
            return;
        }
    }
    r.diagnostics.push_back(std::move(d));
}

Diagnostic FromNotice(const vlo::Notice& n, const std::string& object) {
    Diagnostic d;
    d.level = n.caption == "Warning" ? Diagnostic::Level::Warning : Diagnostic::Level::Error;
    d.text = n.text;
    d.object = n.object.empty() ? object : n.object;
    d.stopsExport = n.severity == vlo::Severity::Stops;
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

// Writes the embedded images into folder under the names the model stores; an image already there
// with other bytes is left alone.
void ExtractTextures(const std::vector<importer::EmbeddedImageFile>& images, const std::string& folder, ExportResult& r) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(folder, ec);
    for (const importer::EmbeddedImageFile& image : images) {
        // Names come from the scene file: only a plain file name may be written, inside the folder.
        if (image.name.empty() || image.name == "." || image.name == ".." ||
            image.name.find_first_of("/\\:") != std::string::npos) {
            Add(r, Warning("the embedded image named '" + image.name + "' is not written: not a plain file name"));
            continue;
        }
        if (!image.encoded) {
            Add(r, Warning("the embedded image " + image.name + " holds raw texels, not an image file: not written"));
            continue;
        }
        const fs::path target = fs::path(folder) / image.name;
        const std::string bytes(image.bytes.begin(), image.bytes.end());
        if (fs::exists(target)) {
            std::ifstream in(target, std::ios::binary);
            const std::string existing((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (existing != bytes) Add(r, Warning(target.string() + " exists with other content: left as it is"));
            continue;
        }
        vlo::OutputFile out;
        if (!(out.Open(target.string()) && out.Write(bytes) && out.Finish() && out.Publish()))
            Add(r, Warning("could not write the embedded image to " + target.string()));
    }
}

// Warns about a model whose size or markers suggest a wrong scale or origin.
void CheckModelPlacement(const vlo::VloModel& m, const DialogChoices& choices, vlo::ExportMode mode, ExportResult& r) {
    if (!m.vertices.empty()) {
        const int up = choices.swapYZ.value_or(true) ? 1 : 2;
        float lo = 0, hi = 0;
        for (std::size_t i = 0; i < m.vertices.size(); ++i) {
            const float y = up == 1 ? m.vertices[i].position.y : m.vertices[i].position.z;
            lo = i == 0 ? y : std::min(lo, y);
            hi = i == 0 ? y : std::max(hi, y);
        }
        const float height = hi - lo;
        if (height > 1000.0f || (height < 0.001f && height >= 0.0f)) {
            char text[200];
            std::snprintf(text, sizeof text, "the model is %g m tall: check its scale (the yardstick, --scale, --file-units)",
                          double(height));
            Add(r, Warning(text));
        }
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

}  // namespace

std::string FormatDiagnostic(const Diagnostic& d) {
    std::string line = (d.level == Diagnostic::Level::Warning ? "warning: " : "error: ") + d.text;
    if (!d.object.empty()) line += " [object '" + d.object + "']";
    if (d.repeats > 1) line += " (" + std::to_string(d.repeats) + " times)";
    return line;
}

ExportResult ExportFile(const ExportRequest& request) {
    ExportResult r;
    const vlo::ExportMode mode = request.mode.value_or(vlo::ExportMode::Shape);
    const auto importStart = Clock::now();
    standin::Scene scene;
    importer::ImportOptions import = request.import;
    // An animation samples the file's motion: a skeleton that is no biped is then not held in its bind pose.
    if (mode == vlo::ExportMode::Animation && import.pose == importer::SkeletonPose::Bind)
        import.pose = importer::SkeletonPose::File;
    import.needsClip = mode == vlo::ExportMode::Animation || import.pose != importer::SkeletonPose::Bind;
    const importer::ImportResult imported = importer::ImportFile(request.input, scene, import);
    r.importSeconds = Seconds(importStart);
    r.scene = imported.info;
    if (!imported.ok) {
        Add(r, Failure(imported.error));
        r.status = imported.failure == importer::ImportResult::Failure::NeedsChoice ? kExitNeedsChoice : kExitUsage;
        return r;
    }
    for (const auto& w : imported.info.warnings) Add(r, Warning(request.input + ": " + w));
    if (!request.extractTexturesTo.empty()) ExtractTextures(imported.embeddedImages, request.extractTexturesTo, r);

    const std::string sceneName = std::filesystem::path(request.input).stem().string();
    if (const std::string problem = ChooseSelection(scene, {request.select, request.all, mode, sceneName, request.input});
        !problem.empty()) {
        Add(r, Failure(problem));
        r.status = kExitUsage;
        return r;
    }
    standin::Node& node = *SelectedNode(scene);
    r.object = node.Name();
    AddPropertyKeyFrames(node, request.keyFrames);
    if (!request.mode && SkinOf(node))
        Add(r, Warning("object '" + r.object +
                       "' is skinned; exporting it as a static shape (use --mode hierarchy for a skinned model)"));

    const auto exportStart = Clock::now();
    standin::Desktop desktop;
    desktop.PinClock(request.createdAt);
    DialogChoices choices = request.choices;
    choices.mode = mode;
    if (choices.soundFile) choices.soundFile = HostPath(std::filesystem::absolute(*choices.soundFile).string());
    for (const KeyFrameRequest& k : request.keyFrames)
        if (k.slot != vlo::kAddressBall && k.frame >= 0) choices.keyFrames.push_back({k.slot, k.frame});
    QueueDialogs(desktop, choices);
    ExportOutcome outcome = RunExport(scene, desktop, request.output);
    r.exportSeconds = Seconds(exportStart);

    const VloExporter::Outcome& result = outcome.exporter->Result();
    for (const vlo::Notice& n : result.notices) Add(r, FromNotice(n, r.object));
    for (const std::string& p : outcome.problems) Add(r, Failure(p));
    if (!outcome.written) {
        if (result.notices.empty()) Add(r, Failure("nothing was exported"));
        r.status = kExitExportFailed;
        return r;
    }
    r.files = result.files;
    r.model = result.model;
    r.animation = result.animation;
    if (r.model) CheckModelPlacement(*r.model, request.choices, mode, r);
    const int tpf = scene.TicksPerFrame();
    r.firstFrame = scene.animRange.Start() / tpf;
    r.lastFrame = scene.animRange.End() / tpf;
    return r;
}

}  // namespace app
