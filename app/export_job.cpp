#include "app/export_job.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "app/plugin_host.h"
#include "app/selection.h"

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

}  // namespace

std::string FormatDiagnostic(const Diagnostic& d) {
    std::string line = (d.level == Diagnostic::Level::Warning ? "warning: " : "error: ") + d.text;
    if (!d.object.empty()) line += " [object '" + d.object + "']";
    if (d.repeats > 1) line += " (" + std::to_string(d.repeats) + " times)";
    return line;
}

ExportResult ExportFile(const ExportRequest& request) {
    ExportResult r;
    const auto importStart = Clock::now();
    standin::Scene scene;
    const importer::ImportResult imported = importer::ImportFile(request.input, scene, request.import);
    r.importSeconds = Seconds(importStart);
    r.scene = imported.info;
    if (!imported.ok) {
        Add(r, Failure(imported.error));
        r.status = kExitUsage;
        return r;
    }
    for (const auto& w : imported.info.warnings) Add(r, Warning(request.input + ": " + w));

    const vlo::ExportMode mode = request.mode.value_or(vlo::ExportMode::Shape);
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
    const int tpf = scene.TicksPerFrame();
    r.firstFrame = scene.animRange.Start() / tpf;
    r.lastFrame = scene.animRange.End() / tpf;
    return r;
}

}  // namespace app
