#include "plugin/exporter.h"

#include "plugin/entry.h"

namespace {

INT_PTR AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: CenterWindow(dialog, GetParent(dialog)); return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == 1) EndDialog(dialog, 1);
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

VloExporter::VloExporter() {
    static const char* const kNames[kNumKeyFrameFlags] = {"BALL_STRUCK", "MOUSE_SWING_START", "TOP_OF_SWING",
                                                          "ADDRESS_BALL"};
    for (int i = 0; i < kNumKeyFrameFlags; ++i) keyFrameFlags[i] = KeyFrameFlag{FALSE, -1, kNames[i]};
}

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

void VloExporter::ShowAbout(HWND hWnd) {
    DialogBoxParamA(VloModuleHandle(), IDD_ABOUT, hWnd, AboutDlgProc, 0);
}

void VloExporter::EnterFigureMode() {
    if (!inFigureMode && pxBipedExport) pxBipedExport->BeginFigureMode(0);
    inFigureMode = TRUE;
}

void VloExporter::LeaveFigureMode() {
    if (inFigureMode && pxBipedExport) pxBipedExport->EndFigureMode(0);
    inFigureMode = FALSE;
}

void VloExporter::ShowError(const char* message) {
    MessageBoxA(pxInterface ? pxInterface->GetMAXHWnd() : nullptr, message, "Error", MB_OK | MB_ICONEXCLAMATION);
}

void VloExporter::ShowWarning(const char* message) {
    MessageBoxA(pxInterface ? pxInterface->GetMAXHWnd() : nullptr, message, "Warning", MB_OK | MB_ICONEXCLAMATION);
}

void VloExporter::CommitFiles(vlo::OutputFile& data, bool good) {
    // Both files are complete on disk before either replaces what was at its name, so a failure
    // leaves the previous files untouched and no partial output.
    bool written = false;
    if (good) {
        const bool infoGood = !infoFile || infoFile->Finish();
        const bool dataGood = data.Finish();
        written = infoGood && dataGood && data.Publish();
        if (!written) {
            ShowError(("Failed to write the file: " + (!dataGood || infoGood ? data.Target() : info_.Target())).c_str());
        } else if (infoFile && !infoFile->Publish()) {
            ShowError(("Failed to write the file: " + info_.Target()).c_str());
            written = false;
        }
    }
    data.Discard();
    info_.Discard();
    infoFile = nullptr;
    filesWritten = written;
}
