// Dialogs 107 (key frame flags) and 108 (marker selection).
#include <algorithm>
#include <vector>

#include "ui/dialogs.h"

INT_PTR KeyFrameFlagsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        const auto& keyFrames = reinterpret_cast<VloExporter*>(lParam)->settings.keyFrames;
        for (int slot = 0; slot < ui::kDialogKeyFrameSlots; ++slot) {
            const vlo::KeyFrameFlag& flag = keyFrames[std::size_t(slot)];
            const ui::KeyFrameControls c = ui::ControlsOfKeyFrame(slot);
            CheckDlgButton(dialog, c.check, flag.enabled ? BST_CHECKED : BST_UNCHECKED);
            if (flag.enabled) SetDlgItemInt(dialog, c.edit, UINT(flag.frame), FALSE);
        }
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    // Only OK closes the dialog: the close box and Escape do nothing.
    VloExporter* exp = ui::ExporterOf(dialog);
    if (LOWORD(wParam) == IDOK && exp) {
        for (int slot = 0; slot < ui::kDialogKeyFrameSlots; ++slot) {
            vlo::KeyFrameFlag& flag = exp->settings.keyFrames[std::size_t(slot)];
            const ui::KeyFrameControls c = ui::ControlsOfKeyFrame(slot);
            flag.enabled = IsDlgButtonChecked(dialog, c.check) == BST_CHECKED;
            if (flag.enabled) {
                BOOL translated = FALSE;
                const UINT value = GetDlgItemInt(dialog, c.edit, &translated, FALSE);
                flag.frame = translated ? int(value) : 0;
            }
        }
        EndDialog(dialog, 0);
    }
    return TRUE;
}

INT_PTR MarkerSelectDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        const VloExporter& exp = *reinterpret_cast<VloExporter*>(lParam);
        const auto& markers = exp.settings.markers;
        SendDlgItemMessageA(dialog, IDC_MARKER_CANDIDATES, LB_RESETCONTENT, 0, 0);
        for (INode* candidate : exp.dummyNodes) {
            if (std::find(markers.begin(), markers.end(), candidate) != markers.end()) continue;
            const LRESULT item = SendDlgItemMessageA(dialog, IDC_MARKER_CANDIDATES, LB_ADDSTRING, 0,
                                                     reinterpret_cast<LPARAM>(candidate->GetName()));
            if (item != LB_ERR && item != LB_ERRSPACE)
                SendDlgItemMessageA(dialog, IDC_MARKER_CANDIDATES, LB_SETITEMDATA, WPARAM(item),
                                    reinterpret_cast<LPARAM>(candidate));
        }
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    VloExporter* exp = ui::ExporterOf(dialog);
    const unsigned id = LOWORD(wParam);
    if (id == IDOK && exp) {
        const LRESULT count = SendDlgItemMessageA(dialog, IDC_MARKER_CANDIDATES, LB_GETSELCOUNT, 0, 0);
        if (count > 0) {
            std::vector<int> items(std::size_t(count), 0);
            if (SendDlgItemMessageA(dialog, IDC_MARKER_CANDIDATES, LB_GETSELITEMS, WPARAM(count),
                                    reinterpret_cast<LPARAM>(items.data())) != LB_ERR)
                for (int item : items) {
                    const LRESULT data = SendDlgItemMessageA(dialog, IDC_MARKER_CANDIDATES, LB_GETITEMDATA, WPARAM(item), 0);
                    if (data != LB_ERR) exp->settings.markers.push_back(reinterpret_cast<INode*>(data));
                }
        }
        EndDialog(dialog, 1);
    } else if (id == IDCANCEL) {
        EndDialog(dialog, 2);
    }
    return TRUE;
}
