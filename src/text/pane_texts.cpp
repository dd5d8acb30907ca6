#include "text/pane_texts.h"

#include <cstring>

#include "resource.h"
#include "text/text.h"

namespace {

HFONT g_paneFont;  // created on first use, kept for the life of the process

HFONT PaneFont() {
    if (g_paneFont == nullptr)
        g_paneFont = CreateFontA(20, 0, 0, 0, 500, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Shell Dlg");
    return g_paneFont;
}

}  // namespace

void ApplyControlText(HWND pane, int controlId) {
    const HWND control = GetDlgItem(pane, controlId);
    if (control == nullptr)
        return;
    const LONG_PTR textId = GetWindowLongPtrA(control, GWLP_USERDATA);
    SetWindowTextA(control, GetText(textId != 0 ? static_cast<unsigned>(textId) : static_cast<unsigned>(controlId)));
}

void ApplyPaneTexts(HWND pane) {
    const WPARAM font = reinterpret_cast<WPARAM>(PaneFont());
    for (int id = IDC_FIRST_LOCALISED; id <= IDC_LAST_LOCALISED; ++id) {
        SendDlgItemMessageA(pane, id, WM_SETFONT, font, TRUE);
        ApplyControlText(pane, id);
    }
    SendDlgItemMessageA(pane, IDC_EXTERNAL_PATH, WM_SETFONT, font, TRUE);
    SendDlgItemMessageA(pane, IDC_INTERNAL_NAME, WM_SETFONT, font, TRUE);
    // Retitling a top-level window goes out to the window manager, which is
    // slow; every pane asks for the same title, so only a change is made.
    const HWND window = GetAncestor(pane, GA_ROOT);
    const char* title = GetText(IDS_WINDOW_TITLE);
    char shown[256];
    const int length = GetWindowTextA(window, shown, sizeof(shown));
    if (length <= 0 || length >= static_cast<int>(sizeof(shown)) - 1 || strcmp(shown, title) != 0)
        SetWindowTextA(window, title);
}
