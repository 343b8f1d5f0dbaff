// Loading the exporter plug-in into the stand-in host and running exports the way the host does:
// the module's entry point with its resources, the class descriptor's Create, DoExport.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "format/output_file.h"
#include "plugin/exporter.h"
#include "standin/desktop.h"
#include "standin/scene.h"

namespace app {

// The plug-in module's handle, loaded once per process (the entry point runs on first use).
HINSTANCE LoadExporterModule();

struct ExportOutcome {
    int doExportResult = 0;
    std::unique_ptr<VloExporter> exporter;           // the object after the export, for inspection
    bool written = false;                            // the pass published its files
    std::vector<standin::RecordedMessage> messages;  // message boxes shown during the export
    std::vector<std::string> problems;               // scripting mistakes of the desktop
};

struct RunOptions {
    vlo::IoFaultPlan* faults = nullptr;  // makes file operations fail (tests)
    bool holdFiles = false;              // the exporter keeps its finished files for the caller to publish
};

// Runs one export of the scene's selection to path through the plug-in's class descriptor, with the
// dialogs answered by the scripts queued on the desktop.
ExportOutcome RunExport(standin::Scene& scene, standin::Desktop& desktop, const std::string& path,
                        const RunOptions& options);
inline ExportOutcome RunExport(standin::Scene& scene, standin::Desktop& desktop, const std::string& path,
                               vlo::IoFaultPlan* faults = nullptr) {
    return RunExport(scene, desktop, path, RunOptions{faults, false});
}

}  // namespace app
