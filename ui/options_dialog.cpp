// Dialog 106, the export options, and its helpers.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/node_walk.h"
#include "plugin/entry.h"
#include "ui/dialogs.h"

namespace {

using ui::ControlOf;

// The selected node's transform controller when it is a biped body controller, else null.
Control* BipedControllerOfSelection(const VloExporter& exp) {
    INode* node = exp.SelectedNode();
    Control* c = node ? node->GetTMController() : nullptr;
    return c && c->ClassID() == BIPBODY_CONTROL_CLASS_ID ? c : nullptr;
}

// False only for a biped root whose export interface is missing; true otherwise.
bool SelectionSuggestsAnimation(const VloExporter& exp) {
    Control* c = BipedControllerOfSelection(exp);
    return !(c && c->GetInterface(I_BIPINTERFACE) == nullptr);
}

// True for a biped root with an export interface.
bool SelectionIsBipedRoot(const VloExporter& exp) {
    Control* c = BipedControllerOfSelection(exp);
    return c && c->GetInterface(I_BIPINTERFACE) != nullptr;
}

void SelectSoundFile(vlo::ExportSettings& s, HWND owner) {
    char file[MAX_PATH] = {};
    OPENFILENAMEA ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = "WAV Sound Files\0*.WAV\0All Files (*.*)\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = "Select Sound File...";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetOpenFileNameA(&ofn)) return;
    std::string path(file, strnlen(file, sizeof file));
    for (char& c : path)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    const auto at = path.find("\\SOUNDS\\");
    s.soundFile = at == std::string::npos ? path : path.substr(at + 8);
    if (s.soundFile.size() > vlo::kMaxPathChars) s.soundFile.resize(vlo::kMaxPathChars);
    s.hasSound = true;
}

void FillKeyFrameList(const vlo::ExportSettings& s, HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_KEYFRAME_LIST, LB_RESETCONTENT, 0, 0);
    for (int slot = 0; slot < vlo::kNumKeyFrameSlots; ++slot) {
        const vlo::KeyFrameFlag& flag = s.keyFrames[std::size_t(slot)];
        if (!flag.enabled) continue;
        char line[64];
        std::snprintf(line, sizeof line, "%d - %s", flag.frame, vlo::kKeyFrameNames[slot]);
        SendDlgItemMessageA(dialog, IDC_KEYFRAME_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
}

void FillMarkerList(const vlo::ExportSettings& s, HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_MARKER_LIST, LB_RESETCONTENT, 0, 0);
    for (INode* node : s.markers) {
        const LRESULT item =
            SendDlgItemMessageA(dialog, IDC_MARKER_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(node->GetName()));
        if (item != LB_ERR && item != LB_ERRSPACE)
            SendDlgItemMessageA(dialog, IDC_MARKER_LIST, LB_SETITEMDATA, WPARAM(item), reinterpret_cast<LPARAM>(node));
    }
}

void RemoveSelectedMarkers(vlo::ExportSettings& s, HWND dialog) {
    const LRESULT count = SendDlgItemMessageA(dialog, IDC_MARKER_LIST, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) return;
    std::vector<int> items(std::size_t(count), 0);
    SendDlgItemMessageA(dialog, IDC_MARKER_LIST, LB_GETSELITEMS, WPARAM(count), reinterpret_cast<LPARAM>(items.data()));
    for (int item : items) {
        const LRESULT data = SendDlgItemMessageA(dialog, IDC_MARKER_LIST, LB_GETITEMDATA, WPARAM(item), 0);
        if (data != LB_ERR) s.RemoveMarker(reinterpret_cast<INode*>(data));
    }
    FillMarkerList(s, dialog);
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void Check(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

// The dialog's start-up rules: an ordinary selection suggests an animation, a yardstick in the scene
// suggests its scale, and only a biped root starts with its initial rotation zeroed.
void InitDialog(VloExporter& exp, HWND dialog) {
    vlo::ExportSettings& s = exp.settings;
    CenterWindow(dialog, GetParent(dialog));
    Check(dialog, IDC_SWAP_YZ, s.swapYZ);
    CheckRadioButton(dialog, IDC_ORIGIN_WORLD, IDC_ORIGIN_PIVOT, ControlOf(s.origin));
    Check(dialog, IDC_NO_COLLISIONS, s.noCollisions);
    Check(dialog, IDC_SEMI_TRANSPARENT, s.semiTransparent);
    if (SelectionSuggestsAnimation(exp)) s.mode = vlo::ExportMode::Animation;
    CheckRadioButton(dialog, IDC_MODE_SHAPE, IDC_MODE_ANIMATION, ControlOf(s.mode));
    if (FindNodeByName(exp.Host()->GetRootNode(), "yardstick")) s.scale = vlo::ScaleMode::Yardstick;
    CheckRadioButton(dialog, IDC_SCALE_UNIT, IDC_SCALE_YARDSTICK, ControlOf(s.scale));
    Check(dialog, IDC_EXPORT_BUMP, s.exportBumpMaps);
    Check(dialog, IDC_EXPORT_SPECULAR, s.exportSpecularMaps);
    s.zeroInitialRootRotation = SelectionIsBipedRoot(exp);
    Check(dialog, IDC_ZERO_ROOT_ROTATION, s.zeroInitialRootRotation);
    FillKeyFrameList(s, dialog);
    FillMarkerList(s, dialog);
}

void Command(VloExporter& exp, HWND dialog, int id) {
    vlo::ExportSettings& s = exp.settings;
    switch (id) {
        case IDOK:
            s.swapYZ = Checked(dialog, IDC_SWAP_YZ);
            s.noCollisions = Checked(dialog, IDC_NO_COLLISIONS);
            s.semiTransparent = Checked(dialog, IDC_SEMI_TRANSPARENT);
            s.exportBumpMaps = Checked(dialog, IDC_EXPORT_BUMP);
            s.exportSpecularMaps = Checked(dialog, IDC_EXPORT_SPECULAR);
            s.zeroInitialRootRotation = Checked(dialog, IDC_ZERO_ROOT_ROTATION);
            EndDialog(dialog, 1);
            break;
        case IDCANCEL: EndDialog(dialog, 0); break;
        case IDC_ORIGIN_WORLD:
        case IDC_ORIGIN_CENTER:
        case IDC_ORIGIN_BASE:
        case IDC_ORIGIN_PIVOT:
            s.origin = ui::OriginOfControl(id);
            CheckRadioButton(dialog, IDC_ORIGIN_WORLD, IDC_ORIGIN_PIVOT, id);
            break;
        case IDC_MODE_SHAPE:
        case IDC_MODE_HIERARCHY:
        case IDC_MODE_ANIMATION:
            s.mode = ui::ModeOfControl(id);
            CheckRadioButton(dialog, IDC_MODE_SHAPE, IDC_MODE_ANIMATION, id);
            break;
        case IDC_SCALE_UNIT:
        case IDC_SCALE_YARDSTICK:
            s.scale = ui::ScaleOfControl(id);
            CheckRadioButton(dialog, IDC_SCALE_UNIT, IDC_SCALE_YARDSTICK, id);
            break;
        case IDC_SELECT_SOUND:
            SelectSoundFile(s, dialog);
            SetDlgItemTextA(dialog, IDC_SOUND_LABEL, s.soundFile.c_str());
            break;
        case IDC_REMOVE_SOUND:
            s.soundFile.clear();
            s.hasSound = false;
            SetDlgItemTextA(dialog, IDC_SOUND_LABEL, "No Sound Effect");
            break;
        case IDC_ADD_MARKER:
            DialogBoxParamA(VloModuleHandle(), IDD_MARKER_SELECT, dialog, MarkerSelectDlgProc, reinterpret_cast<LPARAM>(&exp));
            FillMarkerList(s, dialog);
            break;
        case IDC_REMOVE_MARKERS: RemoveSelectedMarkers(s, dialog); break;
        case IDC_EDIT_KEYFRAMES:
            DialogBoxParamA(VloModuleHandle(), IDD_KEYFRAME_FLAGS, dialog, KeyFrameFlagsDlgProc,
                            reinterpret_cast<LPARAM>(&exp));
            FillKeyFrameList(s, dialog);
            break;
        default: break;
    }
}

}  // namespace

INT_PTR ExportOptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        InitDialog(*reinterpret_cast<VloExporter*>(lParam), dialog);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        if (VloExporter* exp = ui::ExporterOf(dialog)) Command(*exp, dialog, int(LOWORD(wParam)));
        return TRUE;
    }
    return FALSE;
}
