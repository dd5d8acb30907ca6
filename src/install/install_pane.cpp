#include "install/install_pane.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "install/checks.h"
#include "install/chosen_target.h"
#include "install/copy_chooser.h"
#include "install/fixed_disk_ask.h"
#include "keep/drive_copies.h"
#include "keep/kept_files_win32.h"
#include "status/status_copy.h"
#include "status/status_keys.h"
#include "status/status_focus.h"
#include "status/status_list.h"
#include "install/writer.h"
#include "resource.h"
#include "shell/app_state.h"
#include "shell/panes.h"
#include "shell/unicode_control.h"
#include "text/accessible_names.h"
#include "text/console.h"
#include "text/text.h"

namespace {

// A control's place in the pane's client area.
RECT PlaceOf(HWND pane, int id) {
    RECT rect = {};
    const HWND control = GetDlgItem(pane, id);
    if (control != nullptr && GetWindowRect(control, &rect))
        MapWindowPoints(HWND_DESKTOP, pane, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Put back sits between the bar and Start while the chosen drive has a kept
// copy; the bar makes room for it. The bar's end follows from where the
// buttons are now, at whatever scale the pane was laid out again: the
// dialog's own units may still be those of the DPI it was made at.
void ShowPutBack(HWND pane, bool shown) {
    const HWND button = GetDlgItem(pane, IDC_PUT_BACK);
    const bool visible = (GetWindowLongPtrA(button, GWL_STYLE) & WS_VISIBLE) != 0;
    if (button == nullptr || visible == shown)
        return;
    const RECT bar = PlaceOf(pane, IDC_WRITE_PROGRESS);
    const RECT putBack = PlaceOf(pane, IDC_PUT_BACK);
    const RECT start = PlaceOf(pane, IDC_START);
    // The same gap before Put back as after it; without Put back, the bar
    // reaches to half that gap before Start.
    const LONG gap = start.left - putBack.right;
    const LONG right = shown ? putBack.left - gap : start.left - gap / 2;
    SetWindowPos(GetDlgItem(pane, IDC_WRITE_PROGRESS), nullptr, 0, 0, right - bar.left, bar.bottom - bar.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(button, shown ? SW_SHOWNA : SW_HIDE);
}

}  // namespace

void OnChecksShown() {
    DescribeStartButton();
    UpdateInstallControls();
}

void UpdateInstallControls() {
    const HWND pane = GetPane(PaneInstall);
    if (pane == nullptr)
        return;
    const bool idle = IsWriteActive() == 0;
    EnableWindow(GetDlgItem(pane, IDC_PREVIOUS), idle);
    EnableWindow(GetDlgItem(pane, IDC_NEXT), idle);
    EnableWindow(GetDlgItem(pane, IDC_START), idle && HaveChecksPassed() != 0);
    // Start and Put back share the one writer: never both at once.
    ShowPutBack(pane, IsPutBackOffered());
    EnableWindow(GetDlgItem(pane, IDC_PUT_BACK), idle && IsPutBackReady());
    EnableWindow(GetDlgItem(GetParent(pane), IDC_PANE_LIST), idle);
}

namespace {

bool g_everShown;  // UI thread only

}  // namespace

// What Start's description says now (malloc'ed); UI thread only.
static char* g_startDescription = nullptr;

void DescribeStartButton() {
    const HWND pane = GetPane(PaneInstall);
    // Read by a screen reader once the pane shows; the check runs of the
    // start-up need not load the accessibility service.
    if (pane == nullptr || !g_everShown)
        return;
    char* lines = StatusWarningsAndErrors();
    if (lines == nullptr)
        lines = strdup("");
    // Told again only when it changed: every check run ends here, and the
    // accessibility service keeps what it is given.
    if (lines != nullptr && (g_startDescription == nullptr || strcmp(lines, g_startDescription) != 0)) {
        DescribeControl(GetDlgItem(pane, IDC_START), lines);
        free(g_startDescription);
        g_startDescription = lines;
        return;
    }
    free(lines);
}

namespace {

void OnShowWindow(HWND pane, bool shown) {
    EnableWindow(GetDlgItem(pane, IDC_START), FALSE);
    EnableWindow(GetDlgItem(pane, IDC_PUT_BACK), FALSE);
    g_everShown = g_everShown || shown;
    if (shown)
        RunChecks();
}

// A copy without a fingerprint cannot tell one diskette (or one blank card)
// from another in the same drive: the user says. Of several copies that may
// be the medium's the newest is only a guess: the user picks one. No and
// Cancel are the defaults: pressed by habit, they write nothing. `name`
// gets the copy to put back.
bool UserChoosesCopy(HWND pane, char (&name)[kKeptNameCapacity]) {
    const DriveRoot root = GetDestination();
    const KeptOffer offer = KeptOfferFor(root.text[0]);
    snprintf(name, sizeof(name), "%s", offer.found ? offer.name : "");
    if (offer.found && offer.candidates > 1) {
        KeptCopyHeader medium{};
        medium.device = KeptDeviceOf(ChosenTarget());
        medium.mark = offer.mark;
        memcpy(medium.fingerprint, offer.fingerprint, sizeof(medium.fingerprint));
        PutBackChoice choice;
        ListPutBackChoice(Win32KeptFiles(), medium, &choice);
        if (choice.count > 1)
            return ChooseCopyToPutBack(GetAncestor(pane, GA_ROOT), root.text[0], choice, name);
    }
    if (!offer.found || offer.mark == MediumMark::Fingerprint)
        return true;
    char date[100];
    FormatKeptDate(offer.keptAt, date, sizeof(date));
    const DriveName drive = root.Name();
    const unsigned question = offer.mark == MediumMark::NoneToTake ? IDS_PUT_BACK_ASK_DISKETTE : IDS_PUT_BACK_ASK_MEDIUM;
    char text[512];
    snprintf(text, sizeof(text), "%s", GetText(question, drive.text, date));
    char title[128];
    snprintf(title, sizeof(title), "%s", GetText(IDS_WINDOW_TITLE));
    const bool yes = MessageBoxA(GetAncestor(pane, GA_ROOT), text, title,
                                 MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION) == IDYES;
    ConsolePrint("Asked whether drive %c: holds the copy's medium: %s.\n", root.text[0], yes ? "Yes" : "No");
    return yes;
}

// A disabled button is no guard: a press queued before a check run found an
// Error, or a command sent by another program or an assistive tool, still
// arrives. What the checks said last decides; the console says why not.
bool MayWrite(bool checksPassed, const char* what) {
    if (IsWriteActive()) {
        ConsolePrint("%s: a write is running; nothing is started.\n", what);
        return false;
    }
    if (!checksPassed) {
        ConsolePrint("%s: the checks did not pass; nothing is written.\n", what);
        return false;
    }
    return true;
}

void OnPutBack(HWND pane) {
    ConsolePrint("Putting back...\n");
    char copy[kKeptNameCapacity];
    if (MayWrite(IsPutBackReady(), "Put back") && UserChoosesCopy(pane, copy) &&
        StartPutBack(GetDlgItem(pane, IDC_WRITE_PROGRESS), copy))
        UpdateInstallControls();
}

void OnStart(HWND pane) {
    ConsolePrint("Fly :)\n");
    // A second press while a write is being started or runs starts nothing.
    if (MayWrite(HaveChecksPassed() != 0, "Start") && UserConfirmsFixedDisk(pane) &&
        StartWriter(GetDlgItem(pane, IDC_WRITE_PROGRESS)))
        UpdateInstallControls();
}

}  // namespace

INT_PTR CALLBACK InstallPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            // The lines name paths in any script; screen readers read the list's strings.
            MakeControlUnicode(pane, IDC_STATUS_LIST, L"ListBox");
            WatchStatusListKeys(GetDlgItem(pane, IDC_STATUS_LIST));
            WatchStatusListMoves(GetDlgItem(pane, IDC_STATUS_LIST));
            return PaneProc(pane, message, wParam, lParam);
        case WM_SHOWWINDOW:
            OnShowWindow(pane, wParam != 0);
            return TRUE;
        case WM_DRAWITEM:
            DrawStatusItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            UpdateInstallControls();
            return TRUE;
        case WM_MEASUREITEM:
            MeasureStatusItem(GetDlgItem(pane, static_cast<int>(wParam)), reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_START)
                OnStart(pane);
            else if (LOWORD(wParam) == IDC_PUT_BACK)
                OnPutBack(pane);
            else if (LOWORD(wParam) == IDC_STATUS_LIST && HIWORD(wParam) == LBN_SELCHANGE)
                FollowStatusSelection();
            return PaneProc(pane, message, wParam, lParam);
        default:
            return PaneProc(pane, message, wParam, lParam);
    }
}
