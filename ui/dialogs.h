// Dialog procedures of the plug-in: export options (106), key frame flags (107), marker selection
// (108). Each keeps its exporter in the dialog window's user data, set at initialisation.
#pragma once

#include "host/win32.h"
#include "plugin/exporter.h"
#include "ui/controls.h"

INT_PTR ExportOptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR KeyFrameFlagsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR MarkerSelectDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

namespace ui {

// The exporter a dialog was opened for (its creation parameter, kept in the window's user data).
inline VloExporter* ExporterOf(HWND dialog) {
    return reinterpret_cast<VloExporter*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
}

}  // namespace ui
