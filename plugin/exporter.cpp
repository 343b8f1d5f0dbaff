// The exporter's answers to the host's descriptive questions, and its About box.
#include "plugin/exporter.h"

#include "plugin/entry.h"
#include "ui/dialogs.h"

namespace {

INT_PTR AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: CenterWindow(dialog, GetParent(dialog)); return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) EndDialog(dialog, 1);
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

VloExporter::VloExporter() = default;
VloExporter::~VloExporter() = default;

int VloExporter::ExtCount() { return 2; }
const char* VloExporter::Ext(int n) { return n == 1 ? GetString(12) : GetString(2); }
const char* VloExporter::LongDesc() { return GetString(3); }
const char* VloExporter::ShortDesc() { return GetString(4); }
const char* VloExporter::AuthorName() { return GetString(5); }
const char* VloExporter::CopyrightMessage() { return GetString(6); }
const char* VloExporter::OtherMessage1() { return GetString(7); }
const char* VloExporter::OtherMessage2() { return GetString(8); }
unsigned int VloExporter::Version() { return 300; }
BOOL VloExporter::SupportsOptions(int, DWORD) { return TRUE; }

void VloExporter::ShowAbout(HWND hWnd) { DialogBoxParamA(VloModuleHandle(), IDD_ABOUT, hWnd, AboutDlgProc, 0); }
