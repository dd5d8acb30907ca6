#include "shell/panes.h"

#include "resource.h"
#include "shell/app_hooks.h"
#include "shell/display.h"
#include "shell/ui_thread.h"
#include "text/console.h"
#include "text/text.h"
#include "text/pane_texts.h"
#include "text/text_fit.h"

namespace {

// Set before the window exists and read-only after.
PaneTable g_table;

// Touched on the UI thread only.
HWND g_panes[PaneCount];
HWND g_sourceChooser;
HWND g_currentPane;

// WM_DPICHANGED_AFTERPARENT, sent to each child window from Windows 10 1703 on.
constexpr UINT kDpiChangedAfterParent = 0x02E3;

// The DPI each pane's controls are laid out for, and the width then of its
// first control; the source chooser's last.
struct PaneLayout {
    HWND pane;
    UINT dpi;
    int width;
};
PaneLayout g_layouts[PaneCount + 1];

int FirstControlWidth(HWND pane) {
    RECT rect = {};
    const HWND first = GetWindow(pane, GW_CHILD);
    if (first == nullptr || !GetWindowRect(first, &rect))
        return 0;
    return rect.right - rect.left;
}

void RememberLayout(HWND pane) {
    for (PaneLayout& layout : g_layouts) {
        if (layout.pane != nullptr && layout.pane != pane)
            continue;
        layout = PaneLayout{pane, WindowDpi(pane), FirstControlWidth(pane)};
        return;
    }
}

// Moves and sizes every control of the pane from `before` to `after` dpi.
void ScaleControls(HWND pane, UINT before, UINT after) {
    for (HWND control = GetWindow(pane, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
        RECT rect;
        if (!GetWindowRect(control, &rect))
            continue;
        MapWindowPoints(nullptr, pane, reinterpret_cast<POINT*>(&rect), 2);
        const int left = MulDiv(rect.left, static_cast<int>(after), static_cast<int>(before));
        const int top = MulDiv(rect.top, static_cast<int>(after), static_cast<int>(before));
        const int right = MulDiv(rect.right, static_cast<int>(after), static_cast<int>(before));
        const int bottom = MulDiv(rect.bottom, static_cast<int>(after), static_cast<int>(before));
        SetWindowPos(control, nullptr, left, top, right - left, bottom - top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// The window moved to another DPI and Windows laid out the panes (its own
// children): the controls inside a pane are laid out here, unless Windows
// did that too.
void FollowParentDpi(HWND pane) {
    for (PaneLayout& layout : g_layouts) {
        if (layout.pane != pane)
            continue;
        const UINT dpi = WindowDpi(pane);
        if (PaneControlsNeedScaling(FirstControlWidth(pane), layout.width, layout.dpi, dpi))
            ScaleControls(pane, layout.dpi, dpi);
        layout = PaneLayout{pane, dpi, FirstControlWidth(pane)};
        return;
    }
}

HWND CreatePane(const PaneEntry& entry, HWND parent) {
    const HWND pane = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(entry.templateId), parent,
                                         entry.procedure, 0);
    if (pane != nullptr)
        RememberLayout(pane);
    return pane;
}

bool g_othersCreated;

// The other steps' panes, made once: right after the Welcome pane shows (the
// user waits for that one alone), or at once when one of them is asked for
// first.
void CreateOtherPanes() {
    if (g_othersCreated)
        return;
    g_othersCreated = true;
    for (int index = PaneTarget; index < PaneCount; ++index)
        g_panes[index] = CreatePane(g_table.steps[index], GetMainWindow());
    if (g_table.created != nullptr)
        g_table.created();
}

LRESULT CreateOtherPanesOnUiThread(void*) {
    CreateOtherPanes();
    return 1;
}

// Creates the Welcome pane and its source chooser; false when the Welcome
// pane could not be made.
bool CreatePanes(HWND mainWindow) {
    g_panes[PaneWelcome] = CreatePane(g_table.steps[PaneWelcome], mainWindow);
    if (g_panes[PaneWelcome] == nullptr)
        return false;
    g_sourceChooser = CreatePane(g_table.sourceChooser, g_panes[PaneWelcome]);
    // Created after the Welcome pane's own controls, the chooser would come
    // last in tab order; it reads between the introduction and Previous/Next.
    if (g_sourceChooser != nullptr)
        SetWindowPos(g_sourceChooser, GetDlgItem(g_panes[PaneWelcome], IDC_WELCOME_TEXT), 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
    if (g_table.welcomeCreated != nullptr)
        g_table.welcomeCreated();
    if (!PostToUiThread(CreateOtherPanesOnUiThread, nullptr))
        CreateOtherPanes();
    return true;
}

HWND PaneList() {
    return GetDlgItem(GetMainWindow(), IDC_PANE_LIST);
}

bool CanHaveFocus(HWND control) {
    return control != nullptr && IsChild(GetMainWindow(), control) && IsWindowVisible(control) &&
           IsWindowEnabled(control);
}

void FocusControl(HWND control) {
    // Through the dialog manager, so that the default push button follows.
    SendMessageA(GetMainWindow(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

// The first control of `dialog` the Tab key stops on; null when none. Asked
// from its last child: GetNextDlgTabItem fails for a null control on Windows
// (Wine takes it), and from the last it goes round to the first.
static HWND FirstTabStop(HWND dialog) {
    const HWND first = GetWindow(dialog, GW_CHILD);
    const HWND last = first != nullptr ? GetWindow(first, GW_HWNDLAST) : nullptr;
    return last != nullptr ? GetNextDlgTabItem(dialog, last, FALSE) : nullptr;
}

// Hiding a pane (or the chooser) or disabling a control takes the focus from
// the control that had it, and a wizard without focus ignores the keyboard.
// A control still usable gets the focus back; otherwise it goes to the shown
// pane's Next, where a wizard keeps it from step to step, or to the pane's
// first tab stop.
void KeepKeyboardFocus(HWND before) {
    // Only while the wizard is the active window: focus must not pull it
    // in front of another program.
    if (GetActiveWindow() != GetMainWindow() || g_currentPane == nullptr)
        return;
    if (CanHaveFocus(before)) {
        if (GetFocus() != before)
            FocusControl(before);
        return;
    }
    HWND target = GetDlgItem(g_currentPane, IDC_NEXT);
    if (!CanHaveFocus(target))
        target = FirstTabStop(g_currentPane);
    if (!CanHaveFocus(target))
        target = FirstTabStop(GetMainWindow());
    if (CanHaveFocus(target))
        FocusControl(target);
}

// The chooser reads the loader's outcome and keeps the typed path as it is
// shown and hidden, and it does so again on every showing of Welcome. When it
// is on screen already it is told so by the same messages, never hidden: a
// radio button or the path hidden for a moment would refuse a click or a key
// that comes in that moment (a focus change alone re-shows the pane).
void ShowSourceChooserAgain() {
    if ((GetWindowLongPtrA(g_sourceChooser, GWL_STYLE) & WS_VISIBLE) == 0) {
        ShowWindow(g_sourceChooser, SW_SHOW);
        return;
    }
    SendMessageA(g_sourceChooser, WM_SHOWWINDOW, FALSE, 0);
    SendMessageA(g_sourceChooser, WM_SHOWWINDOW, TRUE, 0);
}

LRESULT SwitchPaneOnUiThread(void*) {
    SwitchPane(nullptr);
    return 1;
}

LRESULT StepPaneOnUiThread(void* delta) {
    StepPane(static_cast<int>(reinterpret_cast<intptr_t>(delta)));
    return 1;
}

}  // namespace

void SetPaneTable(const PaneTable& table) {
    g_table = table;
}

void AnnouncePaneShown(HWND pane, bool shown) {
    const PaneEntry* entry = pane == g_sourceChooser ? &g_table.sourceChooser : nullptr;
    for (int index = 0; index < PaneCount && entry == nullptr; ++index)
        if (pane == g_panes[index])
            entry = &g_table.steps[index];
    if (entry != nullptr && entry->shown != nullptr)
        entry->shown(pane, shown);
}

HWND GetPane(int index) {
    return index >= 0 && index < PaneCount ? g_panes[index] : nullptr;
}

HWND GetShownPane() {
    return g_currentPane;
}

void SwitchPane(HWND mainWindow) {
    if (!OnUiThread()) {
        RunOnUiThread(SwitchPaneOnUiThread, nullptr);
        return;
    }
    if (g_panes[PaneWelcome] == nullptr) {
        if (mainWindow == nullptr || !CreatePanes(mainWindow)) {
            ConsolePrint("Could not create the wizard's panes.\n");
            EndDialog(GetMainWindow(), 1);
            return;
        }
    }

    int index = 0;
    if (g_currentPane != nullptr)
        index = static_cast<int>(SendMessageA(PaneList(), LB_GETCURSEL, 0, 0));
    // The list always holds four entries with one selected; anything else
    // leaves the wizard where it is.
    if (index < 0 || index >= PaneCount)
        return;

    const HWND focus = GetFocus();
    if (index != PaneWelcome)
        CreateOtherPanes();
    const HWND chosen = g_panes[index];
    if (index == PaneWelcome && g_sourceChooser != nullptr) {
        ShowSourceChooserAgain();
        RelocalisePane(g_sourceChooser);
    }
    RelocalisePane(chosen);
    if (chosen != g_currentPane) {
        if (g_currentPane == g_panes[PaneWelcome] && g_sourceChooser != nullptr)
            ShowWindow(g_sourceChooser, SW_HIDE);
        if (g_currentPane != nullptr)
            ShowWindow(g_currentPane, SW_HIDE);
        ShowWindow(chosen, SW_SHOW);
        g_currentPane = chosen;
    }
    KeepKeyboardFocus(focus);
    TraceTextsCutOff(chosen);
    if (index == PaneWelcome && g_sourceChooser != nullptr)
        TraceTextsCutOff(g_sourceChooser);
}

void RelocalisePane(HWND pane) {
    if (pane == nullptr)
        return;
    const LONG_PTR language = GetCurrentLanguage();
    if (GetWindowLongPtrA(pane, GWLP_USERDATA) == language)
        return;
    SetWindowLongPtrA(pane, GWLP_USERDATA, language);
    ApplyPaneTexts(pane);
    RunRelocaliseHooks();
}

void StepPane(int delta) {
    if (!OnUiThread()) {
        RunOnUiThread(StepPaneOnUiThread, reinterpret_cast<void*>(static_cast<intptr_t>(delta)));
        return;
    }
    const HWND list = PaneList();
    const LRESULT selection = SendMessageA(list, LB_GETCURSEL, 0, 0);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(selection + delta), 0);
    SwitchPane(nullptr);
}

void RescalePanes() {
    // Every pane takes the new font before the old one goes.
    const HFONT retired = MakePaneFont(DisplayDpi());
    for (HWND pane : g_panes)
        if (pane != nullptr)
            ApplyPaneFont(pane);
    if (g_sourceChooser != nullptr)
        ApplyPaneFont(g_sourceChooser);
    if (retired != nullptr)
        DeleteObject(retired);
}

void PaintPaneBorder(HWND pane) {
    PAINTSTRUCT paint;
    BeginPaint(pane, &paint);
    const HDC dc = GetDC(pane);
    RECT client;
    GetClientRect(pane, &client);

    const HPEN pen = CreatePen(PS_SOLID, Scaled(3), ColoursOf(Surface::PaneBorder).accent);
    const HGDIOBJ oldPen = SelectObject(dc, pen);
    const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const int inset = Scaled(1);
    RoundRect(dc, inset, inset, client.right - inset, client.bottom - inset, Scaled(8), Scaled(8));
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);

    ReleaseDC(pane, dc);
    EndPaint(pane, &paint);
    DeleteObject(pen);
}

INT_PTR CALLBACK PaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_PAINT:
            PaintPaneBorder(pane);
            return FALSE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_PREVIOUS)
                StepPane(-1);
            else if (LOWORD(wParam) == IDC_NEXT)
                StepPane(+1);
            else if (HIWORD(wParam) == BN_CLICKED)
                KeepKeyboardFocus(GetFocus());  // Start disables itself as the write begins
            return FALSE;
        case WM_CTLCOLORDLG:
            return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
        case kDpiChangedAfterParent:
            FollowParentDpi(pane);
            return FALSE;
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(PrepareSurface(reinterpret_cast<HDC>(wParam), Surface::Background));
        default:
            return FALSE;
    }
}
