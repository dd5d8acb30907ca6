#include "shell/main_window.h"

#include <commctrl.h>

#include <cstring>

#include "resource.h"
#include "shell/app_hooks.h"
#include "shell/app_state.h"
#include "shell/display.h"
#include "shell/heap_report.h"
#include "shell/pane_list.h"
#include "shell/panes.h"
#include "shell/session_end.h"
#include "shell/ui_thread.h"
#include "text/console.h"
#include "text/language_bar.h"
#include "text/text.h"

namespace {

UINT g_queryCancelAutoPlay;  // 0 until registered
bool g_closeWhenIdle;        // a close came during a write; UI thread only

void ShowClosingTitle(HWND window) {
    SetWindowTextA(window, GetText(IDS_CLOSING_AFTER_WRITE));
}

// The dialog manager turns Enter into a command to this window: IDOK, or the
// id of the pane button that is the default one. Only the pane list, the
// language bar and Esc (IDCANCEL) send it other commands.
bool IsEnterKey(HWND window, WPARAM wParam, LPARAM lParam) {
    const HWND control = reinterpret_cast<HWND>(lParam);
    return LOWORD(wParam) != IDCANCEL && control != GetDlgItem(window, IDC_PANE_LIST) &&
           control != GetDlgItem(window, IDC_LANGUAGE_BAR);
}

// The push button of the shown pane (or of the source chooser on it) that has
// the focus; null when the focus is elsewhere.
HWND FocusedPushButton(HWND pane) {
    const HWND focus = GetFocus();
    if (focus == nullptr || !IsChild(pane, focus) ||
        !(SendMessageA(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
        return nullptr;
    return focus;
}

// Enter presses the push button that has the focus ("···" opens the file
// dialog, Previous goes back, Start writes, as Windows does for any focused
// button), and elsewhere goes on to the next step on Welcome and Select
// target, as Next would. Only Start or Put back with the focus writes: Enter
// elsewhere never does.
void OnEnterKey() {
    const HWND pane = GetShownPane();
    if (pane == nullptr)
        return;
    HWND button = FocusedPushButton(pane);
    if (button == nullptr && (pane == GetPane(PaneWelcome) || pane == GetPane(PaneTarget)))
        button = GetDlgItem(pane, IDC_NEXT);
    if (button == nullptr || !IsWindowEnabled(button))
        return;
    SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    if (reinterpret_cast<HWND>(lParam) == GetDlgItem(window, IDC_LANGUAGE_BAR)) {
        SelectLanguage(LOWORD(wParam));
        RefillPaneTitles(window);
        SwitchPane(window);
        if (g_closeWhenIdle)
            ShowClosingTitle(window);
    } else if (IsEnterKey(window, wParam, lParam)) {
        OnEnterKey();
    }
    // A click in the pane list is ignored while a write runs. Every other
    // command, Esc (IDCANCEL) included, only re-shows the selected pane.
    if (HIWORD(wParam) == LBN_SELCHANGE && IsWriteActive())
        return;
    SwitchPane(window);
}

// Ending the process in the middle of a write would leave a half-written
// drive (or a USB device switched off): the window says it will close, and
// closes once the write is over.
void OnClose(HWND window) {
    if (IsWriteActive()) {
        if (!g_closeWhenIdle)
            ConsolePrint("Closing once the write is over.\n");
        g_closeWhenIdle = true;
        ShowClosingTitle(window);
        return;
    }
    EndDialog(window, 0);
}

// Run when WriteActive changed (queued by a worker, posted on the UI
// thread): a close that waited for the write closes the window, the session
// end is blocked or let go, and the registered hooks re-apply what depends
// on the write.
LRESULT OnWriteStateChanged(void*) {
    const HWND window = GetMainWindow();
    if (g_closeWhenIdle && !IsWriteActive())
        EndDialog(window, 0);
    GuardSessionEndDuringWrite(window);
    RunWriteStateHooks();
    return 1;
}

UINT QueryCancelAutoPlayMessage() {
    if (g_queryCancelAutoPlay == 0)
        g_queryCancelAutoPlay = RegisterWindowMessageA("QueryCancelAutoPlay");
    return g_queryCancelAutoPlay;
}

bool IsQueryCancelAutoPlay(UINT message) {
    return message == QueryCancelAutoPlayMessage();
}

// The shell asks "QueryCancelAutoPlay", and Explorer drops files, from a
// lower integrity level than an elevated window's, and UIPI drops both unless
// the window lets them through (a drop comes as WM_DROPFILES after
// WM_COPYDATA and WM_COPYGLOBALDATA). Looked up at run time: user32 has the
// call only from Windows 7 on.
void AllowMessagesFromShell(HWND window) {
    using FilterCall = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    const FARPROC found = GetProcAddress(GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx");
    if (found == nullptr)
        return;
    FilterCall allow = nullptr;
    static_assert(sizeof(allow) == sizeof(found), "function pointers of one size");
    memcpy(&allow, &found, sizeof(allow));
    if (!allow(window, QueryCancelAutoPlayMessage(), MSGFLT_ALLOW, nullptr))
        ConsolePrint("AutoPlay may open a window for the drive (error %lu).\n", GetLastError());
    static const UINT kDropMessages[] = {WM_DROPFILES, WM_COPYDATA, 0x0049 /* WM_COPYGLOBALDATA */};
    for (const UINT message : kDropMessages) {
        if (!allow(window, message, MSGFLT_ALLOW, nullptr))
            ConsolePrint("Files dropped from Explorer may not arrive (error %lu).\n", GetLastError());
    }
}

}  // namespace

int RunMainWindow() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LINK_CLASS | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                                            ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN_WINDOW), nullptr, MainDialogProc, 0);
    // A write that is restarting the USB device gets to switch it back on.
    RunExitHooks();
    if (result == -1) {
        ConsolePrint("Could not open the main window (error %lu).\n", GetLastError());
        return 1;
    }
    return result == 0 ? 0 : 1;
}

// The dialog manager lays the controls out for the new DPI as the window
// takes its new size; what the program sized in pixels follows once that is
// done.
static LRESULT RescaleOnUiThread(void*) {
    const HWND window = GetMainWindow();
    ApplyPaneListLook(GetDlgItem(window, IDC_PANE_LIST));
    ScaleLanguageBar(GetDlgItem(window, IDC_LANGUAGE_BAR), DisplayDpi());
    RescalePanes();
    RunDisplayChangeHooks();
    Repaint(window);
    return 1;
}

void NotifyWriteStateChanged() {
    if (GetMainWindow() == nullptr)
        return;
    // Changed on the UI thread (Start pressed), the update follows the
    // handler: the writer's thread starts first, not after every control.
    if (OnUiThread() && PostToUiThread(OnWriteStateChanged, nullptr))
        return;
    QueueOnUiThread(OnWriteStateChanged, nullptr);
}

void InitMainWindow(HWND window) {
    SetUiWindow(window);
    SetWriteStateListener(NotifyWriteStateChanged);
    AllowMessagesFromShell(window);
    // A file dropped anywhere on the wizard becomes the image to write.
    DragAcceptFiles(window, TRUE);
    SetupLanguageBar(GetDlgItem(window, IDC_LANGUAGE_BAR));

    const HWND list = GetDlgItem(window, IDC_PANE_LIST);
    ReadDisplaySettings(window);
    ApplyPaneListLook(list);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(GetText(IDS_PANE_WELCOME)));
    SendMessageA(list, LB_SETCURSEL, 0, 0);

    const HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APPLICATION_ICON));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));

    RefillPaneTitles(window);
    SwitchPane(window);
}

static LRESULT ActivatedOnUiThread(void*) {
    RunActivatedHooks();
    return 1;
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT appResult = 0;
    switch (message) {
        case WM_INITDIALOG:
            InitMainWindow(window);
            return FALSE;
        case WM_COMMAND:
            OnCommand(window, wParam, lParam);
            return FALSE;
        case WM_DEVICECHANGE:
            RunDeviceChangeHooks(wParam);
            return TRUE;
        case WM_DROPFILES:
            RunDropHook(reinterpret_cast<HDROP>(wParam));
            return TRUE;
        case WM_QUERYENDSESSION:
            // A dialog procedure answers through DWLP_MSGRESULT: TRUE alone
            // would answer whatever that last held.
            SetWindowLongPtrA(window, DWLP_MSGRESULT, MaySessionEnd());
            return TRUE;
        case WM_ENDSESSION:
            // Log-off or shut-down ends the process after this: not in the
            // middle of a write, nor while the USB device is stopped.
            if (wParam) {
                WaitForWriteBeforeSessionEnd(window);
                RunExitHooks();
            }
            return FALSE;
        case WM_MEASUREITEM:
            // Asked as the list is made, before WM_INITDIALOG.
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight =
                ScaleFrom96(kPaneListItemHeight, WindowDpi(window));
            return TRUE;
        case WM_DRAWITEM:
            return DrawPaneListItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_CTLCOLORDLG:
            return reinterpret_cast<INT_PTR>(PrepareSurface(reinterpret_cast<HDC>(wParam), Surface::Background));
        case WM_DPICHANGED:
        case WM_SYSCOLORCHANGE:
        case WM_SETTINGCHANGE:
            // Not handled here alone: the dialog manager lays its controls out anew.
            if (FollowDisplayChange(window, message, wParam, lParam) && !PostToUiThread(RescaleOnUiThread, nullptr))
                RescaleOnUiThread(nullptr);
            return FALSE;
        case WM_ACTIVATE:
            // Run after the dialog manager has put the focus back where it was.
            if (LOWORD(wParam) != WA_INACTIVE && !PostToUiThread(ActivatedOnUiThread, nullptr))
                RunActivatedHooks();
            return FALSE;
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
        case WM_NOTIFY:
            if (reinterpret_cast<const NMHDR*>(lParam)->idFrom == IDC_LANGUAGE_BAR &&
                reinterpret_cast<const NMHDR*>(lParam)->code == NM_CUSTOMDRAW) {
                SetWindowLongPtrA(window, DWLP_MSGRESULT,
                                  DrawLanguageButton(reinterpret_cast<const NMTBCUSTOMDRAW*>(lParam)));
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            OnClose(window);
            return TRUE;
        case WM_DESTROY:
        case WM_QUIT:
            return EndDialog(window, 0);
        default:
            break;
    }

    if (HandleAppMessage(message, wParam, lParam, &appResult)) {
        SetWindowLongPtrA(window, DWLP_MSGRESULT, appResult);
        return TRUE;
    }
    if (IsQueryCancelAutoPlay(message)) {
        // 1 tells the shell not to start AutoPlay for the drive we are writing.
        SetWindowLongPtrA(window, DWLP_MSGRESULT, 1);
        ConsolePrint("CancelAutoPlay :)\n");
        return TRUE;
    }
    if (message == HeapInUseMessage()) {
        SetWindowLongPtrA(window, DWLP_MSGRESULT, HeapBytesInUse());
        return TRUE;
    }
    return FALSE;
}
