// vloexport's export options as the user writes them, on the command line or as a build manifest's
// keys (the long flags without their dashes), and their checked meaning as an export request.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/export_job.h"

namespace CLI {
class App;
}

namespace tools {

struct ExportFlags {
    std::string input, output;
    std::string mode, origin, scale, sound, select, up = "file", pose = "bind", bipedRoot, clip, range;
    std::string extractTextures;
    int fps = 0;
    bool noSwap = false, noCollisions = false, semiTransparent = false, bump = false, specular = false;
    bool all = false, noMarkers = false, fileUnits = false, force = false, strict = false, verify = false;
    std::optional<bool> zeroRootRotation;
    std::vector<std::string> removeMarkers, addMarkers, keyframes;
    std::optional<long long> createdAt;
};

// Adds the export options to a command line parser, with their validators.
void AddExportFlags(CLI::App& app, ExportFlags& flags);

// "START:END" in frames; nullopt when it does not read.
std::optional<std::pair<int, int>> ParseRange(const std::string& text);
// "FRAME:NAME", NAME a key frame's name in any case; nullopt when it does not read.
std::optional<app::KeyFrameRequest> ParseKeyFrame(const std::string& text);
// "bind", "file" or a whole frame number; false when it reads as none.
bool ValidPose(const std::string& text);

// The export the flags ask for; the reason when they do not make one (a usage error). An output left
// out is the input's name with .VLO (or .VLA for an animation) in the current folder; a .VLA output
// asks for an animation unless a mode is given.
std::optional<std::string> ToRequest(ExportFlags flags, app::ExportRequest& request);

// The import options the flags ask for (--list reads the scene with them).
importer::ImportOptions ImportOptionsOf(const ExportFlags& flags);

}  // namespace tools
