// The Select-target pane: the list of removable drives.
#pragma once

#include <windows.h>

INT_PTR CALLBACK TargetPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam);
