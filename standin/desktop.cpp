#include "standin/desktop.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <strings.h>

standin::DialogControl* HWND__::Find(int id) {
    for (auto& c : controls)
        if (c->tmpl.id == id) return c.get();
    return nullptr;
}

namespace standin {
namespace {

void SendCommand(HWND dialog, int id) {
    if (!dialog->ended && dialog->proc) dialog->proc(dialog, WM_COMMAND, MAKEWPARAM(unsigned(id), BN_CLICKED), 0);
}

// The radio buttons of the group that holds control index i: from the group start (a control with
// the group style) up to the next group start.
void ClearRadioGroup(HWND dialog, std::size_t i) {
    std::size_t first = i;
    while (first > 0 && !(dialog->controls[first]->tmpl.style & kGroup)) --first;
    for (std::size_t k = first; k < dialog->controls.size(); ++k) {
        if (k != first && (dialog->controls[k]->tmpl.style & kGroup)) break;
        if (k != i && dialog->controls[k]->tmpl.kind == ControlKind::RadioButton)
            dialog->controls[k]->checked = BST_UNCHECKED;
    }
}

}  // namespace

void DialogDriver::Click(int id) {
    for (std::size_t i = 0; i < dialog_->controls.size(); ++i) {
        DialogControl& c = *dialog_->controls[i];
        if (c.tmpl.id != id) continue;
        if (c.tmpl.kind == ControlKind::CheckBox) c.checked = c.checked == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        if (c.tmpl.kind == ControlKind::RadioButton) {
            c.checked = BST_CHECKED;
            ClearRadioGroup(dialog_, i);
        }
        SendCommand(dialog_, id);
        return;
    }
}

void DialogDriver::SetCheck(int id, bool checked) {
    if (IsChecked(id) != checked) Click(id);
}

void DialogDriver::Type(int id, const std::string& text) {
    DialogControl* c = dialog_->Find(id);
    if (!c) return;
    c->text.clear();
    for (char ch : text)
        if (!(c->tmpl.style & kDigitsOnly) || std::isdigit(static_cast<unsigned char>(ch))) c->text += ch;
}

void DialogDriver::SelectItems(int id, const std::vector<std::string>& texts) {
    DialogControl* c = dialog_->Find(id);
    if (!c) return;
    for (auto& item : c->items) item.selected = false;
    for (const auto& text : texts)
        for (auto& item : c->items)
            if (!item.selected && item.text == text) {
                item.selected = true;
                break;
            }
}

void DialogDriver::SelectIndices(int id, const std::vector<int>& indices) {
    DialogControl* c = dialog_->Find(id);
    if (!c) return;
    for (auto& item : c->items) item.selected = false;
    for (int i : indices)
        if (i >= 0 && std::size_t(i) < c->items.size()) c->items[std::size_t(i)].selected = true;
}

void DialogDriver::PressEscape() { SendCommand(dialog_, IDCANCEL); }

bool DialogDriver::IsChecked(int id) const {
    const DialogControl* c = dialog_->Find(id);
    return c && c->checked == BST_CHECKED;
}

std::string DialogDriver::Text(int id) const {
    const DialogControl* c = dialog_->Find(id);
    return c ? c->text : std::string();
}

std::vector<std::string> DialogDriver::Items(int id) const {
    std::vector<std::string> out;
    if (const DialogControl* c = dialog_->Find(id))
        for (const auto& item : c->items) out.push_back(item.text);
    return out;
}

Desktop::Desktop() { main_.desktop = this; }

int Desktop::MessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    messages_.push_back({caption ? caption : "", text ? text : "", type, owner == &main_});
    return IDOK;
}

INT_PTR Desktop::RunDialog(HINSTANCE module, int templateId, HWND parent, DLGPROC proc, LPARAM param) {
    const DialogTemplate* tmpl = nullptr;
    if (module && module->resources)
        for (const auto& d : module->resources->dialogs)
            if (d.id == templateId) tmpl = &d;
    if (!tmpl) {
        problems_.push_back("dialog template " + std::to_string(templateId) + " not found");
        return -1;
    }
    HWND__ dialog;
    dialog.desktop = this;
    dialog.parent = parent;
    dialog.tmpl = tmpl;
    dialog.proc = proc;
    for (const auto& ct : tmpl->controls) {
        auto c = std::make_unique<DialogControl>();
        c->tmpl = ct;
        if (ct.kind != ControlKind::Edit && ct.kind != ControlKind::ListBox) c->text = ct.text ? ct.text : "";
        dialog.controls.push_back(std::move(c));
    }
    proc(&dialog, WM_INITDIALOG, 0, param);
    DialogScript script = [](DialogDriver& d) { d.Click(IDOK); };
    if (auto it = scripts_.find(templateId); it != scripts_.end() && !it->second.empty()) {
        script = std::move(it->second.front());
        it->second.pop_front();
    }
    if (!dialog.ended) {
        DialogDriver driver(&dialog);
        script(driver);
    }
    if (!dialog.ended) {
        problems_.push_back("dialog " + std::to_string(templateId) + " was left open by its script");
        dialog.ended = true;
        dialog.result = 0;
    }
    dialogs_.push_back({templateId, parent == &main_, dialog.result});
    return dialog.result;
}

BOOL Desktop::OpenFile(OPENFILENAMEA* ofn) {
    lastOpenFile_ = *ofn;
    lastOpenFileTitle_ = ofn->lpstrTitle ? ofn->lpstrTitle : "";
    if (openFiles_.empty()) return FALSE;
    auto answer = std::move(openFiles_.front());
    openFiles_.pop_front();
    if (!answer || !ofn->lpstrFile || ofn->nMaxFile == 0) return FALSE;
    if (answer->size() >= ofn->nMaxFile) return FALSE;  // does not fit the caller's buffer
    std::memcpy(ofn->lpstrFile, answer->c_str(), answer->size() + 1);
    return TRUE;
}

}  // namespace standin

// ---- The Win32 subset ----------------------------------------------------------------------------

using standin::DialogControl;

namespace {

DialogControl* Item(HWND dialog, int id) { return dialog ? dialog->Find(id) : nullptr; }

LRESULT ListMessage(DialogControl& c, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& items = c.items;
    switch (msg) {
        case LB_RESETCONTENT: items.clear(); return 0;
        case LB_ADDSTRING: {
            const char* text = reinterpret_cast<const char*>(lParam);
            standin::ListItem item{text ? text : "", 0, false};
            std::size_t at = items.size();
            if (c.tmpl.style & kSorted)  // after every item that sorts before it or equal to it
                at = std::size_t(std::upper_bound(items.begin(), items.end(), item,
                                                  [](const standin::ListItem& a, const standin::ListItem& b) {
                                                      return strcasecmp(a.text.c_str(), b.text.c_str()) < 0;
                                                  }) -
                                 items.begin());
            items.insert(items.begin() + std::ptrdiff_t(at), item);
            return LRESULT(at);
        }
        case LB_GETCOUNT: return LRESULT(items.size());
        case LB_SETITEMDATA:
            if (wParam >= items.size()) return LB_ERR;
            items[wParam].data = lParam;
            return 0;
        case LB_GETITEMDATA: return wParam < items.size() ? items[wParam].data : LB_ERR;
        case LB_GETSELCOUNT: {
            if (!(c.tmpl.style & kMultiSelect)) return LB_ERR;
            return LRESULT(std::count_if(items.begin(), items.end(), [](const auto& i) { return i.selected; }));
        }
        case LB_GETSELITEMS: {
            if (!(c.tmpl.style & kMultiSelect)) return LB_ERR;
            int* out = reinterpret_cast<int*>(lParam);
            LRESULT n = 0;
            for (std::size_t i = 0; i < items.size() && std::size_t(n) < wParam; ++i)
                if (items[i].selected) out[n++] = int(i);
            return n;
        }
        case LB_GETTEXT: {
            if (wParam >= items.size()) return LB_ERR;
            std::strcpy(reinterpret_cast<char*>(lParam), items[wParam].text.c_str());
            return LRESULT(items[wParam].text.size());
        }
        default: return 0;
    }
}

}  // namespace

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    // A box without an owner still needs a desktop; the exporter always passes the main window.
    return owner && owner->desktop ? owner->desktop->MessageBox(owner, text, caption, type) : IDOK;
}

INT_PTR DialogBoxParamA(HINSTANCE module, int templateId, HWND parent, DLGPROC proc, LPARAM param) {
    return parent && parent->desktop ? parent->desktop->RunDialog(module, templateId, parent, proc, param) : -1;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    if (!dialog || !dialog->tmpl) return FALSE;
    dialog->ended = true;
    dialog->result = result;
    return TRUE;
}

HWND GetParent(HWND window) { return window ? window->parent : nullptr; }

HWND GetDlgItem(HWND dialog, int id) { return Item(dialog, id) ? dialog : nullptr; }

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    DialogControl* c = Item(dialog, id);
    if (!c) return FALSE;
    c->checked = check;
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    DialogControl* c = Item(dialog, id);
    return c ? c->checked : BST_UNCHECKED;
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
    if (!dialog) return FALSE;
    for (auto& c : dialog->controls)
        if (c->tmpl.id >= firstId && c->tmpl.id <= lastId) c->checked = c->tmpl.id == checkId ? BST_CHECKED : BST_UNCHECKED;
    return TRUE;
}

BOOL SetDlgItemTextA(HWND dialog, int id, const char* text) {
    DialogControl* c = Item(dialog, id);
    if (!c) return FALSE;
    c->text = text ? text : "";
    return TRUE;
}

UINT GetDlgItemTextA(HWND dialog, int id, char* buffer, int maxCount) {
    DialogControl* c = Item(dialog, id);
    if (!c || maxCount <= 0) return 0;
    const std::size_t n = std::min(c->text.size(), std::size_t(maxCount - 1));
    std::memcpy(buffer, c->text.data(), n);
    buffer[n] = '\0';
    return UINT(n);
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    const std::string text = isSigned ? std::to_string(int(value)) : std::to_string(value);
    return SetDlgItemTextA(dialog, id, text.c_str());
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    DialogControl* c = Item(dialog, id);
    if (!c) return 0;
    const std::string& t = c->text;
    std::size_t i = 0;
    while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i]))) ++i;
    bool negative = false;
    if (isSigned && i < t.size() && t[i] == '-') {
        negative = true;
        ++i;
    }
    if (i == t.size()) return 0;
    unsigned long long value = 0;
    for (; i < t.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(t[i]))) return 0;
        value = value * 10 + unsigned(t[i] - '0');
        if (value > 0xFFFFFFFFull) return 0;
    }
    if (translated) *translated = TRUE;
    return negative ? UINT(-static_cast<long long>(value)) : UINT(value);
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    DialogControl* c = Item(dialog, id);
    if (!c || c->tmpl.kind != ControlKind::ListBox) return LB_ERR;
    return ListMessage(*c, msg, wParam, lParam);
}

LRESULT SetWindowLongPtrA(HWND window, int index, LRESULT value) {
    if (!window || index != GWLP_USERDATA) return 0;
    const LRESULT old = window->userData;
    window->userData = value;
    return old;
}

LRESULT GetWindowLongPtrA(HWND window, int index) {
    return window && index == GWLP_USERDATA ? window->userData : 0;
}

int LoadStringA(HINSTANCE module, UINT id, char* buffer, int maxCount) {
    if (!module || !module->resources || maxCount <= 0) return 0;
    for (const auto& s : module->resources->strings)
        if (s.id == id) {
            const std::size_t n = std::min(std::strlen(s.text), std::size_t(maxCount - 1));
            std::memcpy(buffer, s.text, n);
            buffer[n] = '\0';
            return int(n);
        }
    return 0;
}

void InitCommonControls() {}
void InitCustomControls(HINSTANCE) {}

void CenterWindow(HWND window, HWND) {
    if (window && window->desktop) ++window->desktop->centerCalls;
}

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn) {
    HWND owner = ofn ? ofn->hwndOwner : nullptr;
    return owner && owner->desktop ? owner->desktop->OpenFile(ofn) : FALSE;
}

namespace standin {
namespace {

// The desktop whose host runs on this thread: the one the Win32 functions without a window answer
// for (each export runs on one thread, with its own host and desktop).
thread_local Desktop* g_threadDesktop = nullptr;

}  // namespace

Desktop* Desktop::OnThisThread() { return g_threadDesktop; }

DesktopScope::DesktopScope(Desktop& desktop) : previous_(g_threadDesktop) { g_threadDesktop = &desktop; }
DesktopScope::~DesktopScope() { g_threadDesktop = previous_; }

}  // namespace standin

void GetLocalTime(SYSTEMTIME* out) {
    // A desktop with a pinned clock gives that time (read as UTC), for reproducible output.
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    const standin::Desktop* desktop = standin::Desktop::OnThisThread();
    if (desktop && desktop->PinnedClock()) {
        now = std::time_t(*desktop->PinnedClock());
        gmtime_r(&now, &parts);
    } else {
        localtime_r(&now, &parts);
    }
    out->wYear = static_cast<unsigned short>(parts.tm_year + 1900);
    out->wMonth = static_cast<unsigned short>(parts.tm_mon + 1);
    out->wDayOfWeek = static_cast<unsigned short>(parts.tm_wday);
    out->wDay = static_cast<unsigned short>(parts.tm_mday);
    out->wHour = static_cast<unsigned short>(parts.tm_hour);
    out->wMinute = static_cast<unsigned short>(parts.tm_min);
    out->wSecond = static_cast<unsigned short>(parts.tm_sec);
    out->wMilliseconds = 0;
}
