// The choices a user makes in the plug-in's dialogs, as scripts for the stand-in host's desktop: the
// export runs through the dialogs exactly as a user's would, so their rules hold for every caller.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/export_settings.h"
#include "standin/desktop.h"

namespace app {

struct DialogChoices {
    vlo::ExportMode mode = vlo::ExportMode::Shape;  // always clicked
    std::optional<vlo::OriginMode> origin;          // clicked when set
    std::optional<bool> swapYZ;
    std::optional<vlo::ScaleMode> scale;
    bool noCollisions = false, semiTransparent = false, bump = false, specular = false;
    std::optional<std::string> soundFile;  // chosen with "Select Sound" (a path the file dialog gives)
    bool removeAllMarkers = false;
    std::vector<std::string> removeMarkers;  // selected in the marker list, then "Remove Marker(s)"
    std::vector<std::string> addMarkers;     // selected in "Add Marker"'s list
    std::optional<bool> zeroRootRotation;
    // Key frames typed into "Edit Key Frames": (slot, frame) with slot < 3 and frame >= 0.
    std::vector<std::pair<int, int>> keyFrames;
    bool cancel = false;  // press Cancel instead of OK
};

// Queues the scripts that make these choices in the next options dialog and the dialogs it opens.
void QueueDialogs(standin::Desktop& desktop, const DialogChoices& choices);

}  // namespace app
