// The module's resources: string table and dialog templates, defined once as data.
#include "plugin/entry.h"
#include "plugin/exporter.h"
#include "ui/dialogs.h"

namespace {

using K = ControlKind;

ModuleResources MakeResources() {
    ModuleResources r;
    r.strings = {
        {1, "Velmora Games Exporter"},
        {2, "VLO"},
        {3, "Velmora Games Exporter"},
        {4, "VLG Exporter"},
        {5, "Velmora Games tools team"},
        {6, "Copyright (c) Velmora Games. All rights reserved."},
        {7, "Other 1"},
        {8, "Other 2"},
        {9, "VLO_Exporter"},
        {10, "Category"},
        {12, "VLA"},
    };

    r.dialogs.push_back({IDD_ABOUT, "About this exporter", 186, 60, "MS Sans Serif", 8,
                         {{-1, K::Static, "About this plug-in...", 7, 7, 172, 20, 0},
                          {IDOK, K::DefPushButton, "OK", 68, 38, 50, 14, 0}}});

    r.dialogs.push_back(
        {IDD_EXPORT_OPTIONS,
         "Velmora Games VLO Exporter",
         430,
         291,
         "MS Sans Serif",
         8,
         {
             {-1, K::GroupBox, "Export", 7, 7, 78, 95, 0},
             {IDC_MODE_SHAPE, K::RadioButton, "Shape", 19, 27, 55, 10, kGroup},
             {IDC_MODE_HIERARCHY, K::RadioButton, "Hierarchy", 19, 50, 55, 10, kGroup},
             {IDC_MODE_ANIMATION, K::RadioButton, "Animation", 19, 73, 55, 10, kGroup},
             {-1, K::GroupBox, "Origin", 89, 7, 100, 95, 0},
             {IDC_ORIGIN_CENTER, K::RadioButton, "Origin at center", 99, 22, 64, 10, kGroup},
             {IDC_ORIGIN_BASE, K::RadioButton, "Origin at base", 99, 41, 59, 10, kGroup},
             {IDC_ORIGIN_WORLD, K::RadioButton, "Origin at World Origin", 99, 60, 83, 10, kGroup},
             {IDC_ORIGIN_PIVOT, K::RadioButton, "Origin at pivot", 99, 79, 59, 10, kGroup},
             {-1, K::GroupBox, "Options", 194, 7, 125, 95, 0},
             {-1, K::Static, "All objects are now back face culled for performance reasons.", 208, 22, 104, 18, 0},
             {IDC_NO_COLLISIONS, K::CheckBox, "No Collisions", 253, 50, 56, 10, kTextLeft},
             {IDC_SEMI_TRANSPARENT, K::CheckBox, "Semi Transparent", 238, 69, 71, 10, kTextLeft},
             {-1, K::GroupBox, "Coordinate System", 323, 7, 100, 35, 0},
             {IDC_SWAP_YZ, K::CheckBox, "Swap Y and Z axes", 333, 22, 78, 10, kTextLeft},
             {-1, K::GroupBox, "Scale", 323, 46, 100, 56, 0},
             {IDC_SCALE_UNIT, K::RadioButton, "1 unit = 1 metre", 335, 60, 71, 14, kGroup},
             {IDC_SCALE_YARDSTICK, K::RadioButton, "Use \"yardstick\"", 335, 77, 71, 14, 0},
             {-1, K::GroupBox, "Dummy Marker Objects", 7, 110, 182, 56, 0},
             {IDC_MARKER_LIST, K::ListBox, "", 15, 123, 95, 35, kSorted | kMultiSelect},
             {IDC_ADD_MARKER, K::PushButton, "Add Marker", 117, 123, 65, 14, 0},
             {IDC_REMOVE_MARKERS, K::PushButton, "Remove Marker(s)", 117, 143, 65, 14, 0},
             {-1, K::GroupBox, "Anim", 194, 110, 110, 60, 0},
             {IDC_ZERO_ROOT_ROTATION, K::CheckBox, "Zero initial root rotation", 202, 124, 94, 16, kMultiLine},
             {-1, K::GroupBox, "Anim Key Frame Flags", 7, 172, 182, 88, 0},
             {IDC_EDIT_KEYFRAMES, K::PushButton, "Edit Key Frames", 19, 188, 70, 14, 0},
             {IDC_KEYFRAME_LIST, K::ListBox, "", 19, 210, 157, 41, kNoSelection},
             {-1, K::GroupBox, "Bump Mapping", 197, 180, 76, 30, 0},
             {IDC_EXPORT_BUMP, K::CheckBox, "Export", 207, 194, 36, 10, 0},
             {-1, K::GroupBox, "Specular Mapping", 197, 220, 76, 30, 0},
             {IDC_EXPORT_SPECULAR, K::CheckBox, "Export", 207, 235, 36, 10, 0},
             {-1, K::GroupBox, "Sound", 298, 176, 125, 75, 0},
             {IDC_SOUND_LABEL, K::StaticSunken, "No Sound Effect", 308, 192, 105, 13, 0},
             {IDC_SELECT_SOUND, K::PushButton, "Select Sound", 308, 211, 105, 12, 0},
             {IDC_REMOVE_SOUND, K::PushButton, "Remove Sound", 308, 232, 105, 12, 0},
             {IDCANCEL, K::PushButton, "Cancel", 114, 270, 50, 14, 0},
             {IDOK, K::DefPushButton, "OK", 264, 270, 50, 14, 0},
             {-1, K::Picture, "110", 337, 261, 86, 23, 0},
         }});

    r.dialogs.push_back({IDD_KEYFRAME_FLAGS,
                         "Key Frame Flags",
                         232,
                         114,
                         "MS Sans Serif",
                         8,
                         {
                             {IDC_KF_BALL_STRUCK, K::CheckBox, "Ball Struck", 54, 17, 75, 10, 0},
                             {IDC_KF_BALL_STRUCK_FRAME, K::Edit, "", 144, 16, 34, 12, kDigitsOnly},
                             {IDC_KF_SWING_START, K::CheckBox, "Mouse Swing Start", 54, 36, 75, 10, 0},
                             {IDC_KF_SWING_START_FRAME, K::Edit, "", 144, 35, 34, 12, kDigitsOnly},
                             {IDC_KF_TOP_OF_SWING, K::CheckBox, "Top Of Swing", 54, 54, 75, 10, 0},
                             {IDC_KF_TOP_OF_SWING_FRAME, K::Edit, "", 144, 53, 34, 12, kDigitsOnly},
                             {IDOK, K::DefPushButton, "OK", 96, 93, 50, 14, 0},
                         }});

    r.dialogs.push_back({IDD_MARKER_SELECT,
                         "Select Marker Object(s)",
                         186,
                         190,
                         "MS Sans Serif",
                         8,
                         {
                             {IDC_MARKER_CANDIDATES, K::ListBox, "", 7, 7, 172, 142, kSorted | kMultiSelect},
                             {IDCANCEL, K::PushButton, "Cancel", 7, 169, 50, 14, 0},
                             {IDOK, K::DefPushButton, "OK", 129, 169, 50, 14, 0},
                         }});
    return r;
}

}  // namespace

const ModuleResources& VloModuleResources() {
    static const ModuleResources resources = MakeResources();
    return resources;
}
