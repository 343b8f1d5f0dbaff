// The controls of the plug-in's dialogs and how they map to the export settings. The only place that
// knows control ids: the dialogs use them, and whoever drives the dialogs (the host's user, or a
// script of the stand-in host) names controls through these.
#pragma once

#include "core/export_settings.h"

// Resource ids of the dialogs.
enum : int { IDD_ABOUT = 102, IDD_EXPORT_OPTIONS = 106, IDD_KEYFRAME_FLAGS = 107, IDD_MARKER_SELECT = 108 };

// Controls of the export options dialog (106).
enum : int {
    IDC_SWAP_YZ = 1002,
    IDC_ORIGIN_WORLD = 1003,
    IDC_ORIGIN_CENTER = 1004,
    IDC_ORIGIN_BASE = 1005,
    IDC_ORIGIN_PIVOT = 1007,
    IDC_SOUND_LABEL = 1010,
    IDC_SELECT_SOUND = 1011,
    IDC_REMOVE_SOUND = 1012,
    IDC_MODE_SHAPE = 1013,
    IDC_MODE_HIERARCHY = 1014,
    IDC_MODE_ANIMATION = 1015,
    IDC_NO_COLLISIONS = 1018,
    IDC_SEMI_TRANSPARENT = 1019,
    IDC_MARKER_LIST = 1020,
    IDC_ADD_MARKER = 1021,
    IDC_REMOVE_MARKERS = 1022,
    IDC_KEYFRAME_LIST = 1023,
    IDC_EDIT_KEYFRAMES = 1024,
    IDC_SCALE_UNIT = 1027,
    IDC_SCALE_YARDSTICK = 1028,
    IDC_EXPORT_BUMP = 1029,
    IDC_EXPORT_SPECULAR = 1030,
    IDC_ZERO_ROOT_ROTATION = 1031,
};

// Controls of the key frame flags dialog (107).
enum : int {
    IDC_KF_BALL_STRUCK = 1022,
    IDC_KF_BALL_STRUCK_FRAME = 1023,
    IDC_KF_SWING_START = 1024,
    IDC_KF_TOP_OF_SWING = 1025,
    IDC_KF_SWING_START_FRAME = 1027,
    IDC_KF_TOP_OF_SWING_FRAME = 1028,
};

// The list of the marker selection dialog (108).
enum : int { IDC_MARKER_CANDIDATES = 1024 };

namespace ui {

// The radio button of each choice, and the choice of each radio button (ids outside the group give
// the first choice).
int ControlOf(vlo::ExportMode mode);
int ControlOf(vlo::OriginMode origin);
int ControlOf(vlo::ScaleMode scale);
vlo::ExportMode ModeOfControl(int id);
vlo::OriginMode OriginOfControl(int id);
vlo::ScaleMode ScaleOfControl(int id);

// The check box and frame edit of a key-frame slot in dialog 107; only the first three slots have
// them (ADDRESS_BALL is set by the object's properties alone).
struct KeyFrameControls {
    int check;
    int edit;
};
inline constexpr int kDialogKeyFrameSlots = 3;
KeyFrameControls ControlsOfKeyFrame(int slot);

}  // namespace ui
