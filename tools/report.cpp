#include "tools/report.h"

#include <filesystem>

#include "format/output_file.h"
#include "tools/manifest.h"

namespace tools {
namespace {

namespace fs = std::filesystem;

nlohmann::json Counts(const app::ExportResult& r) {
    nlohmann::json c = nlohmann::json::object();
    if (r.model) {
        c["vertices"] = r.model->vertices.size();
        c["polygons"] = r.model->polygons.size();
        c["textures"] = r.model->textures.size();
        c["bones"] = r.model->bones.size();
        c["markers"] = r.model->markers.size();
    }
    if (r.animation) {
        c["bones"] = r.animation->header.numBones;
        c["frames"] = r.animation->header.numFrames;
        c["markers"] = r.animation->header.numMarkers;
    }
    return c;
}

nlohmann::json VerificationJson(const app::Verification& v) {
    nlohmann::json j = {{"checked", v.checked}, {"passed", v.Passed()}, {"readsBack", v.readsBack}};
    if (v.triangles) {
        j["triangles"] = v.triangles;
        j["corners"] = v.corners;
        j["missingTriangles"] = v.missingTriangles;
        j["modelSize"] = v.modelSize;
        j["worstPosition"] = v.worstPosition;
        j["worstNormal"] = v.worstNormal;
        j["worstUv"] = v.worstUv;
    }
    if (v.weightedVertices) {
        j["weightedVertices"] = v.weightedVertices;
        j["unaccountedWeights"] = v.unaccountedWeights;
        j["worstWeight"] = v.worstWeight;
    }
    if (v.samples || v.worstRootPosition > 0) {
        j["samples"] = v.samples;
        j["worstRotation"] = v.worstRotation;
        j["worstRootPosition"] = v.worstRootPosition;
    }
    j["failures"] = v.failures;
    return j;
}

}  // namespace

const char* StatusName(AssetStatus status) {
    switch (status) {
        case AssetStatus::Exported: return "exported";
        case AssetStatus::UpToDate: return "up to date";
        case AssetStatus::Checked: return "checked";
        case AssetStatus::Failed: return "failed";
    }
    return "";
}

nlohmann::json AssetReport(const ExportFlags& options, AssetStatus status, const app::ExportResult& r, double seconds) {
    nlohmann::json j;
    j["input"] = options.input;
    j["output"] = options.output;
    j["status"] = StatusName(status);
    j["options"] = OptionsJson(options);
    nlohmann::json diagnostics = nlohmann::json::array();
    for (const app::Diagnostic& d : r.diagnostics)
        diagnostics.push_back({{"severity", d.level == app::Diagnostic::Level::Error ? "error" : "warning"},
                               {"text", d.text},
                               {"explanation", d.explanation},
                               {"object", d.object},
                               {"repeats", d.repeats}});
    j["diagnostics"] = diagnostics;
    j["object"] = r.object;
    j["counts"] = Counts(r);
    nlohmann::json outputs = nlohmann::json::array();
    std::vector<std::string> files = r.files;
    if (status == AssetStatus::UpToDate) files = {options.output, vlo::SiblingFileName(options.output, ".TXT")};
    for (const std::string& file : files) {
        std::error_code ec;
        const auto size = fs::file_size(file, ec);
        if (!ec) outputs.push_back({{"path", file}, {"bytes", size}});
    }
    j["outputs"] = outputs;
    j["seconds"] = {{"import", r.importSeconds}, {"export", r.exportSeconds}, {"verify", r.verifySeconds}, {"total", seconds}};
    if (r.verification.checked) j["verification"] = VerificationJson(r.verification);
    return j;
}

nlohmann::json Report(const std::string& manifest, const std::vector<nlohmann::json>& assets, const ReportSummary& s) {
    return {{"tool", {{"name", "vloexport"}, {"version", app::kVersion}}},
            {"manifest", manifest},
            {"assets", assets},
            {"summary",
             {{"assets", s.assets},
              {"exported", s.exported},
              {"upToDate", s.upToDate},
              {"checked", s.checked},
              {"failed", s.failed},
              {"warnings", s.warnings},
              {"seconds", s.seconds},
              {"jobs", s.jobs}}}};
}

bool WriteReport(const std::string& path, const nlohmann::json& report, std::string& error) {
    vlo::OutputFile out;
    if (!(out.Open(path) && out.Write(report.dump(2) + "\n") && out.Finish() && out.Publish())) {
        error = out.Error();
        return false;
    }
    return true;
}

std::string ReportPathProblem(const std::string& path, const std::vector<std::string>& written) {
    // Every report begins so: its keys are written in order, "assets" first.
    return vlo::ReplaceProblem(path, "report", "{\n  \"assets\": [", written);
}

}  // namespace tools
