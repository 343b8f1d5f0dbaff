// Dialog procedures of the plug-in: export options (106), key frame flags (107), marker selection
// (108). Each keeps its exporter in the dialog window's user data, set at initialisation.
#pragma once

#include "host/win32.h"

// Control ids of dialog 107.
enum : int {
    IDC_KF_BALL_STRUCK = 1022,
    IDC_KF_BALL_STRUCK_FRAME = 1023,
    IDC_KF_SWING_START = 1024,
    IDC_KF_TOP_OF_SWING = 1025,
    IDC_KF_SWING_START_FRAME = 1027,
    IDC_KF_TOP_OF_SWING_FRAME = 1028,
};
// Control id of dialog 108's list.
enum : int { IDC_MARKER_CANDIDATES = 1024 };

INT_PTR ExportOptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR KeyFrameFlagsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR MarkerSelectDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
