// The animation pass: the skeleton below the selected root, sampled once per frame of the host's
// animation range, as a VlaAnimation in the game's space.
#pragma once

#include "core/export_settings.h"
#include "core/notice.h"
#include "format/vla_animation.h"
#include "skin/figure_mode.h"
#include "skin/skin_source.h"

namespace vlo {

struct AnimationRequest {
    Interface& host;                 // the animation range, ticks per frame and frame rate
    const ExportSettings& settings;  // axes, markers, key frames, zero initial root rotation
    INode* root;                     // the skeleton's root: the selected node
    float worldScale;                // scene units per metre
    FigureMode& figure;              // the skeleton's biped, for reading the bone list in figure mode
};

// Builds the bone list, reads the range, samples every frame and sets the key-frame flags. Fails when
// there are no bones ("Failed to create internal bone structure"), when the range is empty ("No
// animation interval to export") or when a sample is not finite (naming the frame and what).
Result<VlaAnimation> BuildAnimation(const AnimationRequest& request, NoticeSink& notices);

}  // namespace vlo
