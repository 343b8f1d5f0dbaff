// The stand-in host's headless window system: the main window, modal dialogs built from a module's
// dialog templates, the controls the plug-in's dialogs use, message boxes and the file-open dialog.
//
// Nobody sits at this desktop: each modal dialog is driven by a script that the caller queued for
// its template id, which clicks, checks, types and selects exactly as a user would (clicking an
// automatic check box toggles it, clicking an automatic radio button checks it and clears the other
// buttons of its group, and each click sends the same WM_COMMAND the real control sends). A dialog
// without a queued script is answered with a click on OK. A script that leaves its dialog open is a
// mistake: the dialog is ended with 0 (as Cancel) and the problem recorded.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/win32.h"

namespace standin {

class Desktop;

struct ListItem {
    std::string text;
    LPARAM data = 0;
    bool selected = false;
};

struct DialogControl {
    ControlTemplate tmpl{};
    std::string text;
    UINT checked = BST_UNCHECKED;
    std::vector<ListItem> items;
};

}  // namespace standin

// A window: the main window or a dialog.
struct HWND__ {
    standin::Desktop* desktop = nullptr;
    HWND parent = nullptr;
    const DialogTemplate* tmpl = nullptr;
    DLGPROC proc = nullptr;
    std::vector<std::unique_ptr<standin::DialogControl>> controls;
    LRESULT userData = 0;
    bool ended = false;
    INT_PTR result = 0;

    standin::DialogControl* Find(int id);
};

namespace standin {

// What a script sees of one open dialog.
class DialogDriver {
public:
    explicit DialogDriver(HWND dialog) : dialog_(dialog) {}
    int TemplateId() const { return dialog_->tmpl->id; }
    // Clicks a button, check box or radio button, as the mouse would.
    void Click(int id);
    // Clicks the check box when its state differs from checked.
    void SetCheck(int id, bool checked);
    // Replaces an edit control's text as typing would (an edit for digits only takes digits only)
    // and notifies the dialog.
    void Type(int id, const std::string& text);
    // Selects exactly the list items whose text is in texts (each text selects one more item with
    // that text, in list order).
    void SelectItems(int id, const std::vector<std::string>& texts);
    void SelectIndices(int id, const std::vector<int>& indices);
    // Presses Escape: the dialog receives IDCANCEL, as Win32 dialogs do.
    void PressEscape();
    bool IsChecked(int id) const;
    std::string Text(int id) const;
    std::vector<std::string> Items(int id) const;
    bool Ended() const { return dialog_->ended; }
    HWND Handle() const { return dialog_; }

private:
    HWND dialog_;
};

using DialogScript = std::function<void(DialogDriver&)>;

struct RecordedMessage {
    std::string caption;
    std::string text;
    UINT type = 0;
    bool ownedByMainWindow = false;
};

struct RecordedDialog {
    int templateId = 0;
    bool ownedByMainWindow = false;
    INT_PTR result = 0;
};

class Desktop {
public:
    Desktop();
    HWND MainWindow() { return &main_; }

    // Queues a script for the next dialog opened from the template id.
    void QueueScript(int templateId, DialogScript script) { scripts_[templateId].push_back(std::move(script)); }
    // Queues the answer of the next file-open dialog: a path, or nullopt for Cancel.
    void QueueOpenFile(std::optional<std::string> path) { openFiles_.push_back(std::move(path)); }

    const std::vector<RecordedMessage>& Messages() const { return messages_; }
    const std::vector<RecordedDialog>& Dialogs() const { return dialogs_; }
    const std::vector<std::string>& Problems() const { return problems_; }
    // Pins the local time this desktop's host reports (seconds since 1970, read as UTC); nullopt
    // gives the system's clock again.
    void PinClock(std::optional<long long> secondsSince1970) { pinnedClock_ = secondsSince1970; }
    const std::optional<long long>& PinnedClock() const { return pinnedClock_; }
    // The desktop of the host running on the calling thread (see DesktopScope), or null.
    static Desktop* OnThisThread();

    // The last file-open dialog's settings.
    const OPENFILENAMEA& LastOpenFile() const { return lastOpenFile_; }
    std::string LastOpenFileTitle() const { return lastOpenFileTitle_; }
    int centerCalls = 0;

    // Win32 subset, reached through the free functions.
    int MessageBox(HWND owner, const char* text, const char* caption, UINT type);
    INT_PTR RunDialog(HINSTANCE module, int templateId, HWND parent, DLGPROC proc, LPARAM param);
    BOOL OpenFile(OPENFILENAMEA* ofn);

private:
    HWND__ main_;
    std::map<int, std::deque<DialogScript>> scripts_;
    std::deque<std::optional<std::string>> openFiles_;
    std::vector<RecordedMessage> messages_;
    std::vector<RecordedDialog> dialogs_;
    std::vector<std::string> problems_;
    OPENFILENAMEA lastOpenFile_{};
    std::string lastOpenFileTitle_;
    std::optional<long long> pinnedClock_;
};

// Makes desktop the calling thread's desktop for the scope's life (the host of one export runs on
// one thread); the previous one comes back afterwards.
class DesktopScope {
public:
    explicit DesktopScope(Desktop& desktop);
    ~DesktopScope();
    DesktopScope(const DesktopScope&) = delete;
    DesktopScope& operator=(const DesktopScope&) = delete;

private:
    Desktop* previous_;
};

}  // namespace standin
