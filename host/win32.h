// The small Win32-like subset the plug-in's user interface uses: modal dialogs built from resources,
// buttons, check boxes, radio buttons, list boxes, edit and static controls, message boxes, the
// file-open dialog, string resources and the local time. The functions are implemented by the host
// (the stand-in host provides a headless window system); resources are plain data owned by the
// module that defines them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/max_types.h"

struct HWND__;
using HWND = HWND__*;
struct ModuleResources;
// A module handle: the module's resource table.
struct HINSTANCE__ {
    const ModuleResources* resources = nullptr;
};
using HINSTANCE = HINSTANCE__*;

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using INT_PTR = std::intptr_t;
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_CLOSE = 0x0010;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

inline constexpr UINT BST_UNCHECKED = 0;
inline constexpr UINT BST_CHECKED = 1;
inline constexpr UINT BN_CLICKED = 0;

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;

// List box messages and results.
inline constexpr UINT LB_ADDSTRING = 0x0180;
inline constexpr UINT LB_RESETCONTENT = 0x0184;
inline constexpr UINT LB_GETTEXT = 0x0189;
inline constexpr UINT LB_GETCOUNT = 0x018B;
inline constexpr UINT LB_GETSELCOUNT = 0x0190;
inline constexpr UINT LB_GETSELITEMS = 0x0191;
inline constexpr UINT LB_GETITEMDATA = 0x0199;
inline constexpr UINT LB_SETITEMDATA = 0x019A;
inline constexpr LRESULT LB_ERR = -1;
inline constexpr LRESULT LB_ERRSPACE = -2;

inline constexpr int GWLP_USERDATA = -21;
inline constexpr unsigned DLL_PROCESS_ATTACH = 1;

inline constexpr int MAX_PATH = 260;

inline constexpr WPARAM MAKEWPARAM(unsigned lo, unsigned hi) { return WPARAM((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)); }
inline constexpr unsigned LOWORD(WPARAM w) { return unsigned(w & 0xFFFF); }
inline constexpr unsigned HIWORD(WPARAM w) { return unsigned((w >> 16) & 0xFFFF); }

// ---- Resources, as the module defines them -------------------------------------------------------

enum class ControlKind {
    GroupBox,
    Static,
    StaticSunken,
    PushButton,
    DefPushButton,
    CheckBox,       // automatic check box
    RadioButton,    // automatic radio button
    ListBox,
    Edit,
    Picture,
};

// Style bits of a control template that change behaviour.
enum ControlStyle : unsigned {
    kGroup = 1u << 0,          // starts a radio group
    kSorted = 1u << 1,         // list box sorts its items by text
    kMultiSelect = 1u << 2,    // list box allows several selected items
    kNoSelection = 1u << 3,    // list box allows no selection
    kDigitsOnly = 1u << 4,     // edit accepts digits only
    kTextLeft = 1u << 5,       // check box text on the left
    kMultiLine = 1u << 6,
};

struct ControlTemplate {
    int id;  // -1 for controls without an id
    ControlKind kind;
    const char* text;
    short x, y, cx, cy;  // dialog units
    unsigned style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    short cx, cy;
    const char* font;
    int fontSize;
    std::vector<ControlTemplate> controls;
};

struct StringResource {
    UINT id;
    const char* text;
};

struct ModuleResources {
    std::vector<StringResource> strings;
    std::vector<DialogTemplate> dialogs;
};

// ---- Functions (implemented by the host) ---------------------------------------------------------

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
INT_PTR DialogBoxParamA(HINSTANCE module, int templateId, HWND parent, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetParent(HWND window);
HWND GetDlgItem(HWND dialog, int id);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);
BOOL SetDlgItemTextA(HWND dialog, int id, const char* text);
UINT GetDlgItemTextA(HWND dialog, int id, char* buffer, int maxCount);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SetWindowLongPtrA(HWND window, int index, LRESULT value);
LRESULT GetWindowLongPtrA(HWND window, int index);
int LoadStringA(HINSTANCE module, UINT id, char* buffer, int maxCount);
void InitCommonControls();

struct OPENFILENAMEA {
    HWND hwndOwner = nullptr;
    const char* lpstrFilter = nullptr;  // pairs of zero-terminated strings, ended by an empty one
    DWORD nFilterIndex = 0;
    char* lpstrFile = nullptr;
    DWORD nMaxFile = 0;
    const char* lpstrInitialDir = nullptr;
    const char* lpstrTitle = nullptr;
    DWORD Flags = 0;
};
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x0800;
inline constexpr DWORD OFN_HIDEREADONLY = 0x0004;
inline constexpr DWORD OFN_EXPLORER = 0x80000;
BOOL GetOpenFileNameA(OPENFILENAMEA* ofn);

struct SYSTEMTIME {
    unsigned short wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};
void GetLocalTime(SYSTEMTIME* time);

// Host helpers for plug-in user interfaces.
void InitCustomControls(HINSTANCE module);
void CenterWindow(HWND window, HWND parent);
