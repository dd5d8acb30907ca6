#include "install/install_pane.h"

#include "install/checks.h"
#include "install/status_copy.h"
#include "install/status_list.h"
#include "install/writer.h"
#include "resource.h"
#include "shell/app_state.h"
#include "shell/panes.h"
#include "text/console.h"

void UpdateInstallControls() {
    const HWND pane = GetPane(PaneInstall);
    if (pane == nullptr)
        return;
    const bool idle = IsWriteActive() == 0;
    EnableWindow(GetDlgItem(pane, IDC_PREVIOUS), idle);
    EnableWindow(GetDlgItem(pane, IDC_NEXT), idle);
    EnableWindow(GetDlgItem(pane, IDC_START), idle && HaveChecksPassed() != 0);
    EnableWindow(GetDlgItem(GetParent(pane), IDC_PANE_LIST), idle);
}

namespace {

void OnShowWindow(HWND pane, bool shown) {
    EnableWindow(GetDlgItem(pane, IDC_START), FALSE);
    if (shown)
        RunChecks();
}

void OnStart(HWND pane) {
    ConsolePrint("Fly :)\n");
    // A second press while a write is being started or runs starts nothing.
    if (StartWriter(GetDlgItem(pane, IDC_WRITE_PROGRESS)))
        UpdateInstallControls();
}

}  // namespace

INT_PTR CALLBACK InstallPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            WatchStatusListKeys(GetDlgItem(pane, IDC_STATUS_LIST));
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
            return PaneProc(pane, message, wParam, lParam);
        default:
            return PaneProc(pane, message, wParam, lParam);
    }
}
