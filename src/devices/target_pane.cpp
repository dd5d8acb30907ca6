#include "devices/target_pane.h"

#include "shell/panes.h"

INT_PTR CALLBACK TargetPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam)
{
    return PaneProc(pane, message, wParam, lParam);
}
