// The user's choices for one export, as plain values: what the options dialog shows and edits, with
// the defaults a new export starts from. The dialog maps its controls to and from these; nothing
// else knows the controls.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "format/records.h"
#include "host/scene.h"

namespace vlo {

enum class ExportMode { Shape, Hierarchy, Animation };
enum class OriginMode { World, Center, Base, Pivot };
enum class ScaleMode { Unit, Yardstick };  // 1 unit = 1 metre, or measured from the "yardstick"

struct KeyFrameFlag {
    bool enabled = false;
    int frame = -1;  // a frame of the host's timeline; -1: not set
};
using KeyFrameFlags = std::array<KeyFrameFlag, kNumKeyFrameSlots>;

struct ExportSettings {
    ExportMode mode = ExportMode::Shape;
    OriginMode origin = OriginMode::Base;
    ScaleMode scale = ScaleMode::Unit;
    bool swapYZ = true;
    bool noCollisions = false;
    bool semiTransparent = false;
    bool exportBumpMaps = false;
    bool exportSpecularMaps = false;
    bool zeroInitialRootRotation = false;
    bool hasSound = false;
    std::string soundFile;        // upper case, relative to a SOUNDS folder when the path had one
    std::vector<INode*> markers;  // the chosen dummy markers, in order; borrowed from the scene
    KeyFrameFlags keyFrames;

    // Takes the first occurrence of node out of the markers; nothing when it is not one.
    void RemoveMarker(INode* node) {
        if (const auto it = std::find(markers.begin(), markers.end(), node); it != markers.end()) markers.erase(it);
    }
};

}  // namespace vlo
