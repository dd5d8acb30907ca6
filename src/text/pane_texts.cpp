#include "text/pane_texts.h"

#include <cstring>

#include "resource.h"
#include "text/accessible_names.h"
#include "text/language_bar.h"
#include "text/text.h"

namespace {

constexpr int kPaneFontHeight = 20;  // pixels at 96 dpi

HFONT g_paneFont;  // UI thread only; made at the DPI last given
unsigned g_paneFontDpi = 96;

HFONT PaneFont() {
    if (g_paneFont == nullptr)
        g_paneFont = CreateFontA(MulDiv(kPaneFontHeight, static_cast<int>(g_paneFontDpi), 96), 0, 0, 0, 500, FALSE,
                                 FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Shell Dlg");
    return g_paneFont;
}

constexpr UINT_PTR kNameControlsTimer = 0x4E41;

// A pane is named with its step's title, the pane list's entry selected as
// it shows: Next lands on the next pane's first control, and a screen reader
// says the name of the group it enters.
void NamePaneByStep(HWND pane) {
    const HWND window = GetAncestor(pane, GA_ROOT);
    if (window == nullptr || GetParent(pane) != window)
        return;
    const HWND steps = GetDlgItem(window, IDC_PANE_LIST);
    const LRESULT step = SendMessageA(steps, LB_GETCURSEL, 0, 0);
    const LRESULT length = step != LB_ERR ? SendMessageA(steps, LB_GETTEXTLEN, static_cast<WPARAM>(step), 0) : LB_ERR;
    char title[256];
    if (length == LB_ERR || length <= 0 || length >= static_cast<LRESULT>(sizeof(title)) ||
        SendMessageA(steps, LB_GETTEXT, static_cast<WPARAM>(step), reinterpret_cast<LPARAM>(title)) != length)
        return;
    title[length] = '\0';
    NameControlPart(pane, CHILDID_SELF, title);
}

void CALLBACK NameControlsWhenShown(HWND pane, UINT, UINT_PTR timer, DWORD) {
    KillTimer(pane, timer);
    NameUnlabelledControls(pane);
    NamePaneByStep(pane);
    NameLanguageButtons(GetDlgItem(GetAncestor(pane, GA_ROOT), IDC_LANGUAGE_BAR));
}

}  // namespace

HFONT MakePaneFont(unsigned dpi) {
    const HFONT retired = g_paneFont;
    g_paneFontDpi = dpi != 0 ? dpi : 96;
    g_paneFont = nullptr;
    PaneFont();
    return retired;
}

void ApplyPaneFont(HWND pane) {
    const WPARAM font = reinterpret_cast<WPARAM>(PaneFont());
    for (int id = IDC_FIRST_LOCALISED; id <= IDC_LAST_LOCALISED; ++id)
        SendDlgItemMessageA(pane, id, WM_SETFONT, font, TRUE);
    SendDlgItemMessageA(pane, IDC_EXTERNAL_PATH, WM_SETFONT, font, TRUE);
    SendDlgItemMessageA(pane, IDC_INTERNAL_NAME, WM_SETFONT, font, TRUE);
    // The Reboot pane's last words are no smaller than any other pane text.
    SendDlgItemMessageA(pane, IDC_REBOOT_TEXT, WM_SETFONT, font, TRUE);
}

void ApplyControlText(HWND pane, int controlId) {
    const HWND control = GetDlgItem(pane, controlId);
    if (control == nullptr)
        return;
    const LONG_PTR textId = GetWindowLongPtrA(control, GWLP_USERDATA);
    SetWindowTextA(control, GetText(textId != 0 ? static_cast<unsigned>(textId) : static_cast<unsigned>(controlId)));
}

void ApplyPaneTexts(HWND pane) {
    ApplyPaneFont(pane);
    for (int id = IDC_FIRST_LOCALISED; id <= IDC_LAST_LOCALISED; ++id)
        ApplyControlText(pane, id);
    // Named once the pane is up: the accessibility service is a COM object
    // that takes Wine and Windows a moment to load, and no screen reader
    // asks before the pane shows.
    SetTimer(pane, kNameControlsTimer, 0, NameControlsWhenShown);
    // Retitling a top-level window goes out to the window manager, which is
    // slow; every pane asks for the same title, so only a change is made.
    const HWND window = GetAncestor(pane, GA_ROOT);
    const char* title = GetText(IDS_WINDOW_TITLE);
    char shown[256];
    const int length = GetWindowTextA(window, shown, sizeof(shown));
    if (length <= 0 || length >= static_cast<int>(sizeof(shown)) - 1 || strcmp(shown, title) != 0)
        SetWindowTextA(window, title);
}
