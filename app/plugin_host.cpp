#include "app/plugin_host.h"

#include <mutex>

#include "plugin/entry.h"

namespace app {

HINSTANCE LoadExporterModule() {
    static HINSTANCE__ module{&VloModuleResources()};
    static std::once_flag loaded;
    std::call_once(loaded, [] { DllMain(&module, DLL_PROCESS_ATTACH, nullptr); });
    return &module;
}

ExportOutcome RunExport(standin::Scene& scene, standin::Desktop& desktop, const std::string& path,
                        const RunOptions& options) {
    LoadExporterModule();
    ExportOutcome outcome;
    ClassDesc* desc = LibClassDesc(0);
    outcome.exporter.reset(static_cast<VloExporter*>(desc->Create(FALSE)));
    outcome.exporter->ioFaults = options.faults;
    outcome.exporter->holdFiles = options.holdFiles;
    standin::HostInterface ip(scene, desktop);
    const std::size_t before = desktop.Messages().size(), problemsBefore = desktop.Problems().size();
    outcome.doExportResult = outcome.exporter->DoExport(path.c_str(), nullptr, &ip);
    outcome.written = outcome.exporter->Result().written;
    outcome.messages.assign(desktop.Messages().begin() + std::ptrdiff_t(before), desktop.Messages().end());
    outcome.problems.assign(desktop.Problems().begin() + std::ptrdiff_t(problemsBefore), desktop.Problems().end());
    return outcome;
}

}  // namespace app
