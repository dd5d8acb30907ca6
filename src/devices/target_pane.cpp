#include "devices/target_pane.h"

#include "devices/drive_list.h"
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
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(Scaled(kDriveRowHeight));
            return 1;
        case WM_DRAWITEM:
            DrawDriveItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return 1;
        default:
            return PaneProc(pane, message, wParam, lParam);
    }
}
