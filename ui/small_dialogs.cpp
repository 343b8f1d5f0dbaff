// Dialogs 107 (key frame flags) and 108 (marker selection).
#include <algorithm>
#include <vector>

#include "plugin/exporter.h"
#include "ui/dialogs.h"

namespace {

VloExporter* ExporterOf(HWND dialog) { return reinterpret_cast<VloExporter*>(GetWindowLongPtrA(dialog, GWLP_USERDATA)); }

struct KeyFrameControls {
    int check;
    int edit;
};
// Slots 0 to 2; slot 3 (ADDRESS_BALL) is set only by the node's properties.
constexpr KeyFrameControls kKeyFrameControls[3] = {{IDC_KF_BALL_STRUCK, IDC_KF_BALL_STRUCK_FRAME},
                                                   {IDC_KF_SWING_START, IDC_KF_SWING_START_FRAME},
                                                   {IDC_KF_TOP_OF_SWING, IDC_KF_TOP_OF_SWING_FRAME}};

}  // namespace

INT_PTR KeyFrameFlagsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        auto& exp = *reinterpret_cast<VloExporter*>(lParam);
        for (int i = 0; i < 3; ++i) {
            const KeyFrameFlag& flag = exp.keyFrameFlags[i];
            CheckDlgButton(dialog, kKeyFrameControls[i].check, flag.enabled ? BST_CHECKED : BST_UNCHECKED);
            if (flag.enabled) SetDlgItemInt(dialog, kKeyFrameControls[i].edit, UINT(flag.frame), FALSE);
        }
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    // Only OK closes the dialog: the close box and Escape do nothing.
    VloExporter* exp = ExporterOf(dialog);
    if (LOWORD(wParam) == IDOK && exp) {
        for (int i = 0; i < 3; ++i) {
            KeyFrameFlag& flag = exp->keyFrameFlags[i];
            flag.enabled = IsDlgButtonChecked(dialog, kKeyFrameControls[i].check) == BST_CHECKED ? TRUE : FALSE;
            if (flag.enabled) {
                BOOL translated = FALSE;
                const UINT value = GetDlgItemInt(dialog, kKeyFrameControls[i].edit, &translated, FALSE);
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
        auto& exp = *reinterpret_cast<VloExporter*>(lParam);
        SendDlgItemMessageA(dialog, IDC_MARKER_CANDIDATES, LB_RESETCONTENT, 0, 0);
        for (INode* candidate : exp.dummyNodes) {
            if (std::find(exp.markerNodes.begin(), exp.markerNodes.end(), candidate) != exp.markerNodes.end()) continue;
            const LRESULT item = SendDlgItemMessageA(dialog, IDC_MARKER_CANDIDATES, LB_ADDSTRING, 0,
                                                     reinterpret_cast<LPARAM>(candidate->GetName()));
            if (item != LB_ERR && item != LB_ERRSPACE)
                SendDlgItemMessageA(dialog, IDC_MARKER_CANDIDATES, LB_SETITEMDATA, WPARAM(item),
                                    reinterpret_cast<LPARAM>(candidate));
        }
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    VloExporter* exp = ExporterOf(dialog);
    const unsigned id = LOWORD(wParam);
    if (id == IDOK && exp) {
        const LRESULT count = SendDlgItemMessageA(dialog, IDC_MARKER_CANDIDATES, LB_GETSELCOUNT, 0, 0);
        if (count > 0) {
            std::vector<int> items(std::size_t(count), 0);
            if (SendDlgItemMessageA(dialog, IDC_MARKER_CANDIDATES, LB_GETSELITEMS, WPARAM(count),
                                    reinterpret_cast<LPARAM>(items.data())) != LB_ERR)
                for (int item : items) {
                    const LRESULT data = SendDlgItemMessageA(dialog, IDC_MARKER_CANDIDATES, LB_GETITEMDATA, WPARAM(item), 0);
                    if (data != LB_ERR) exp->markerNodes.push_back(reinterpret_cast<INode*>(data));
                }
        }
        EndDialog(dialog, 1);
    } else if (id == IDCANCEL) {
        EndDialog(dialog, 2);
    }
    return TRUE;
}
