// The model information text: heading, material listing (the chunk writers add their sections).
#include <filesystem>
#include <string>

#include "plugin/exporter.h"

namespace vlo {

// The information file's name: the output path with the extension of its file-name part replaced by
// ".TXT" (from the file name's first "."), or ".TXT" appended when the file name has no dot. Dots in
// folder names are left alone, so the file always lands beside the output.
std::string InfoFileName(const std::string& outputPath, const char* extension) {
    const auto slash = outputPath.find_last_of("\\/");
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = outputPath.find('.', nameStart);
    return (dot == std::string::npos ? outputPath : outputPath.substr(0, dot)) + extension;
}

}  // namespace vlo

void VloExporter::OpenInfoFile(const char* path) {
    const std::string name = vlo::InfoFileName(path, ".TXT");
    if (!info_.Open(name, vlo::OutputFile::Mode::Text, ioFaults)) return;
    infoFile = &info_;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    info_.Printf("VLO (Velmora Object 2) Exporter Output Information\n\n");
    info_.Printf("Created: [%02d/%02d/%04d %02d:%02d:%02d]\n\n", now.wDay, now.wMonth, now.wYear, now.wHour,
                 now.wMinute, now.wSecond);
    info_.Printf("VLO File:  %s\n", path);
    info_.Printf("This File: %s\n\n", name.c_str());
    info_.Printf("3DS Scale: 1m == %f (All positions will have been divided by this value)\n\n", double(worldScale));
    info_.Printf("\n\nNumber of materials = %d\n", int(materials.size()));
    for (std::size_t i = 0; i < materials.size(); ++i) ListMaterial(materials[i], int(i), -1);
}
