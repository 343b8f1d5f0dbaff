// Machine-readable reports of exports (vloexport --report FILE.json, and builds): per asset its input,
// output, resolved options, every diagnostic, counts, output sizes, timings and verification figures;
// then a summary. docs/report.schema.json describes the format.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/export_job.h"
#include "tools/export_flags.h"

namespace tools {

// What happened to an asset in a build (a single export is "exported" or "failed").
enum class AssetStatus { Exported, UpToDate, Checked, Failed };
const char* StatusName(AssetStatus status);

// One asset's entry. result is empty (default) for an asset found up to date.
nlohmann::json AssetReport(const ExportFlags& options, AssetStatus status, const app::ExportResult& result,
                           double seconds);

struct ReportSummary {
    std::size_t assets = 0, exported = 0, upToDate = 0, checked = 0, failed = 0, warnings = 0;
    double seconds = 0;
    int jobs = 1;
};

// The whole report: the tool, the manifest (or "" for a single export), the assets and the summary.
nlohmann::json Report(const std::string& manifest, const std::vector<nlohmann::json>& assets, const ReportSummary& summary);

// Writes the report whole or not at all; false with the reason when it cannot.
bool WriteReport(const std::string& path, const nlohmann::json& report, std::string& error);

// Why a report may not be written at path, "" when it may: path is one of the files the run writes,
// or a file is there that is neither an earlier report nor empty (the scene, the manifest, notes of
// the user's).
std::string ReportPathProblem(const std::string& path, const std::vector<std::string>& written);

}  // namespace tools
