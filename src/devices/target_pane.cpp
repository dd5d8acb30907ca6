#include "devices/target_pane.h"

#include "devices/drive_list.h"
#include "resource.h"
#include "shell/display.h"
#include "shell/panes.h"

INT_PTR CALLBACK TargetPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SHOWWINDOW:
            StartDriveListRefresh(pane);
            // The user is choosing again: what that means to the write (its
            // log, the device it recorded) is registered at start.
            AnnouncePaneShown(pane, wParam != 0);
            return 0;
        case WM_CREATE:
            return 0;
        case WM_MEASUREITEM:
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(DriveRowHeight());
            return 1;
        case WM_DRAWITEM:
            DrawDriveItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return 1;
        case WM_COMMAND:
            // A click sends LBN_SELCHANGE as the button is released, also on
            // the row already selected: picking a drive again chooses it anew.
            // The list is our own, whatever window the message names.
            if (LOWORD(wParam) == IDC_TARGET_LIST && HIWORD(wParam) == LBN_SELCHANGE)
                OnDriveRowPicked(GetDlgItem(pane, IDC_TARGET_LIST));
            return PaneProc(pane, message, wParam, lParam);
        default:
            return PaneProc(pane, message, wParam, lParam);
    }
}
