#include "ui/controls.h"

namespace ui {

int ControlOf(vlo::ExportMode mode) {
    switch (mode) {
        case vlo::ExportMode::Shape: return IDC_MODE_SHAPE;
        case vlo::ExportMode::Hierarchy: return IDC_MODE_HIERARCHY;
        case vlo::ExportMode::Animation: return IDC_MODE_ANIMATION;
    }
    return IDC_MODE_SHAPE;
}

int ControlOf(vlo::OriginMode origin) {
    switch (origin) {
        case vlo::OriginMode::World: return IDC_ORIGIN_WORLD;
        case vlo::OriginMode::Center: return IDC_ORIGIN_CENTER;
        case vlo::OriginMode::Base: return IDC_ORIGIN_BASE;
        case vlo::OriginMode::Pivot: return IDC_ORIGIN_PIVOT;
    }
    return IDC_ORIGIN_BASE;
}

int ControlOf(vlo::ScaleMode scale) { return scale == vlo::ScaleMode::Yardstick ? IDC_SCALE_YARDSTICK : IDC_SCALE_UNIT; }

vlo::ExportMode ModeOfControl(int id) {
    return id == IDC_MODE_HIERARCHY ? vlo::ExportMode::Hierarchy
           : id == IDC_MODE_ANIMATION ? vlo::ExportMode::Animation
                                      : vlo::ExportMode::Shape;
}

vlo::OriginMode OriginOfControl(int id) {
    switch (id) {
        case IDC_ORIGIN_WORLD: return vlo::OriginMode::World;
        case IDC_ORIGIN_CENTER: return vlo::OriginMode::Center;
        case IDC_ORIGIN_PIVOT: return vlo::OriginMode::Pivot;
        default: return vlo::OriginMode::Base;
    }
}

vlo::ScaleMode ScaleOfControl(int id) { return id == IDC_SCALE_YARDSTICK ? vlo::ScaleMode::Yardstick : vlo::ScaleMode::Unit; }

KeyFrameControls ControlsOfKeyFrame(int slot) {
    constexpr KeyFrameControls kControls[kDialogKeyFrameSlots] = {{IDC_KF_BALL_STRUCK, IDC_KF_BALL_STRUCK_FRAME},
                                                                  {IDC_KF_SWING_START, IDC_KF_SWING_START_FRAME},
                                                                  {IDC_KF_TOP_OF_SWING, IDC_KF_TOP_OF_SWING_FRAME}};
    return kControls[slot];
}

}  // namespace ui
