// Dialog 106, the export options, and its helpers.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/entry.h"
#include "plugin/exporter.h"
#include "ui/dialogs.h"

namespace {

VloExporter* ExporterOf(HWND dialog) { return reinterpret_cast<VloExporter*>(GetWindowLongPtrA(dialog, GWLP_USERDATA)); }

// The selected node's transform controller when it is a biped body controller, else null.
Control* BipedControllerOfSelection(VloExporter& exp) {
    INode* node = exp.FindSelectedNode(exp.pxInterface->GetRootNode());
    Control* c = node ? node->GetTMController() : nullptr;
    return c && c->ClassID() == BIPBODY_CONTROL_CLASS_ID ? c : nullptr;
}

// FALSE only for a biped root whose export interface is missing; TRUE otherwise.
BOOL SelectionSuggestsAnimation(VloExporter& exp) {
    Control* c = BipedControllerOfSelection(exp);
    return c && c->GetInterface(I_BIPINTERFACE) == nullptr ? FALSE : TRUE;
}

// TRUE for a biped root with an export interface.
BOOL SelectionIsBipedRoot(VloExporter& exp) {
    Control* c = BipedControllerOfSelection(exp);
    return c && c->GetInterface(I_BIPINTERFACE) != nullptr ? TRUE : FALSE;
}

void SelectSoundFile(VloExporter& exp, HWND owner) {
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
    const std::string kept = at == std::string::npos ? path : path.substr(at + 8);
    vlo::CopyBounded(exp.soundFile, kept.c_str());
    exp.hasSound = TRUE;
}

void FillKeyFrameList(VloExporter& exp, HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_KEYFRAME_LIST, LB_RESETCONTENT, 0, 0);
    for (const KeyFrameFlag& flag : exp.keyFrameFlags) {
        if (!flag.enabled) continue;
        char line[64];
        std::snprintf(line, sizeof line, "%d - %s", flag.frame, flag.name);
        SendDlgItemMessageA(dialog, IDC_KEYFRAME_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
}

void FillMarkerList(VloExporter& exp, HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_MARKER_LIST, LB_RESETCONTENT, 0, 0);
    for (INode* node : exp.markerNodes) {
        const LRESULT item =
            SendDlgItemMessageA(dialog, IDC_MARKER_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(node->GetName()));
        if (item != LB_ERR && item != LB_ERRSPACE)
            SendDlgItemMessageA(dialog, IDC_MARKER_LIST, LB_SETITEMDATA, WPARAM(item), reinterpret_cast<LPARAM>(node));
    }
}

void RemoveSelectedMarkers(VloExporter& exp, HWND dialog) {
    const LRESULT count = SendDlgItemMessageA(dialog, IDC_MARKER_LIST, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) return;
    std::vector<int> items(std::size_t(count), 0);
    SendDlgItemMessageA(dialog, IDC_MARKER_LIST, LB_GETSELITEMS, WPARAM(count), reinterpret_cast<LPARAM>(items.data()));
    for (int item : items) {
        const LRESULT data = SendDlgItemMessageA(dialog, IDC_MARKER_LIST, LB_GETITEMDATA, WPARAM(item), 0);
        if (data != LB_ERR) exp.RemoveMarker(reinterpret_cast<INode*>(data));
    }
    FillMarkerList(exp, dialog);
}

BOOL Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED ? TRUE : FALSE; }

void InitDialog(VloExporter& exp, HWND dialog) {
    CenterWindow(dialog, GetParent(dialog));
    CheckDlgButton(dialog, IDC_SWAP_YZ, exp.swapYZ ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(dialog, IDC_ORIGIN_WORLD, IDC_ORIGIN_PIVOT, exp.originMode);
    CheckDlgButton(dialog, IDC_NO_COLLISIONS, exp.noCollisions ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_SEMI_TRANSPARENT, exp.semiTransparent ? BST_CHECKED : BST_UNCHECKED);
    if (SelectionSuggestsAnimation(exp)) exp.exportMode = IDC_MODE_ANIMATION;
    CheckRadioButton(dialog, IDC_MODE_SHAPE, IDC_MODE_ANIMATION, exp.exportMode);
    if (exp.FindNodeByName(exp.pxInterface->GetRootNode(), "yardstick")) exp.scaleMode = IDC_SCALE_YARDSTICK;
    CheckRadioButton(dialog, IDC_SCALE_UNIT, IDC_SCALE_YARDSTICK, exp.scaleMode);
    CheckDlgButton(dialog, IDC_EXPORT_BUMP, exp.exportBumpMaps ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_EXPORT_SPECULAR, exp.exportSpecularMaps ? BST_CHECKED : BST_UNCHECKED);
    exp.zeroInitialRootRotation = SelectionIsBipedRoot(exp);
    CheckDlgButton(dialog, IDC_ZERO_ROOT_ROTATION, exp.zeroInitialRootRotation ? BST_CHECKED : BST_UNCHECKED);
    FillKeyFrameList(exp, dialog);
    FillMarkerList(exp, dialog);
}

void Command(VloExporter& exp, HWND dialog, int id) {
    switch (id) {
        case IDOK:
            exp.swapYZ = Checked(dialog, IDC_SWAP_YZ);
            exp.noCollisions = Checked(dialog, IDC_NO_COLLISIONS);
            exp.semiTransparent = Checked(dialog, IDC_SEMI_TRANSPARENT);
            exp.exportBumpMaps = Checked(dialog, IDC_EXPORT_BUMP);
            exp.exportSpecularMaps = Checked(dialog, IDC_EXPORT_SPECULAR);
            exp.zeroInitialRootRotation = Checked(dialog, IDC_ZERO_ROOT_ROTATION);
            EndDialog(dialog, 1);
            break;
        case IDCANCEL: EndDialog(dialog, 0); break;
        case IDC_ORIGIN_WORLD:
        case IDC_ORIGIN_CENTER:
        case IDC_ORIGIN_BASE:
        case IDC_ORIGIN_PIVOT:
            exp.originMode = id;
            CheckRadioButton(dialog, IDC_ORIGIN_WORLD, IDC_ORIGIN_PIVOT, id);
            break;
        case IDC_MODE_SHAPE:
        case IDC_MODE_HIERARCHY:
        case IDC_MODE_ANIMATION:
            exp.exportMode = id;
            CheckRadioButton(dialog, IDC_MODE_SHAPE, IDC_MODE_ANIMATION, id);
            break;
        case IDC_SCALE_UNIT:
        case IDC_SCALE_YARDSTICK:
            exp.scaleMode = id;
            CheckRadioButton(dialog, IDC_SCALE_UNIT, IDC_SCALE_YARDSTICK, id);
            break;
        case IDC_SELECT_SOUND:
            SelectSoundFile(exp, dialog);
            SetDlgItemTextA(dialog, IDC_SOUND_LABEL, vlo::FieldText(exp.soundFile).c_str());
            break;
        case IDC_REMOVE_SOUND:
            std::memset(exp.soundFile, 0, sizeof exp.soundFile);
            exp.hasSound = FALSE;
            SetDlgItemTextA(dialog, IDC_SOUND_LABEL, "No Sound Effect");
            break;
        case IDC_ADD_MARKER:
            DialogBoxParamA(VloModuleHandle(), IDD_MARKER_SELECT, dialog, MarkerSelectDlgProc,
                            reinterpret_cast<LPARAM>(&exp));
            FillMarkerList(exp, dialog);
            break;
        case IDC_REMOVE_MARKERS: RemoveSelectedMarkers(exp, dialog); break;
        case IDC_EDIT_KEYFRAMES:
            DialogBoxParamA(VloModuleHandle(), IDD_KEYFRAME_FLAGS, dialog, KeyFrameFlagsDlgProc,
                            reinterpret_cast<LPARAM>(&exp));
            FillKeyFrameList(exp, dialog);
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
        if (VloExporter* exp = ExporterOf(dialog)) Command(*exp, dialog, int(LOWORD(wParam)));
        return TRUE;
    }
    return FALSE;
}

void VloExporter::RemoveMarker(INode* node) {
    for (auto it = markerNodes.begin(); it != markerNodes.end(); ++it)
        if (*it == node) {
            markerNodes.erase(it);
            return;
        }
}
