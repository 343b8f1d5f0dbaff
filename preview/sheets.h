// Preview sheets: a model as the game receives it (Y up, in metres: the exporter divides by the world
// scale) seen from the front, the side, the top and three-quarters, and an animation's poses at evenly
// spaced and key frames with its root track.
#pragma once

#include <string>
#include <vector>

#include "format/vla_animation.h"
#include "format/vlo_model.h"
#include "preview/image.h"
#include "preview/raster.h"

namespace preview {

// A camera on a panel: game space (Y up; the files' axes) to the panel's pixels. Orthographic views
// keep sizes (scale pixels per unit); the three-quarter view is perspective.
struct View {
    std::string name;
    Rect rect;
    vlo::Vec3 right, up, forward;  // forward points into the picture
    vlo::Vec3 target;              // the point at the panel's centre
    bool perspective = false;
    float scale = 1;     // orthographic: pixels per unit
    float distance = 1;  // perspective: from the eye to target
    float focal = 1;     // perspective: pixels per unit at distance 1
    ScreenVertex Project(const vlo::Vec3& p) const;
};

// The colour a texture id is drawn in when its image is not found (-1: no texture).
Rgba TextureColour(int textureId);

struct ModelSheetOptions {
    std::string title;          // the first line of the sheet
    std::string textureFolder;  // where the texture images are looked for ("" for none)
};

struct ModelSheet {
    Image image;
    std::vector<View> views;  // front, side, top, three-quarter
    std::vector<std::string> texturesFound;
    std::size_t backPixels = 0;  // pixels showing triangles seen from behind, over all views
};

ModelSheet DrawModelSheet(const vlo::VloModel& model, const ModelSheetOptions& options);

struct AnimationSheetOptions {
    std::string title;
    // The skeleton to pose: a skinned model's bones (with its mesh, which is posed too), or the bone
    // list of the animation's own export (lengths in metres); neither: only the root track is drawn.
    const vlo::VloModel* model = nullptr;
    const std::vector<vlo::BoneRecord>* bones = nullptr;
    int poses = 8;  // evenly spaced frames, besides every key frame
};

struct AnimationSheet {
    Image image;
    std::vector<int> frames;   // the frames posed, in order
    std::vector<View> views;   // one per pose
    std::vector<std::vector<vlo::Vec3>> joints;  // per pose, each bone's position
};

AnimationSheet DrawAnimationSheet(const vlo::VlaAnimation& animation, const AnimationSheetOptions& options);

}  // namespace preview
