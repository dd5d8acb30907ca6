// The source chooser inside the Welcome pane: the attached image or a file of
// the user's choosing.
#pragma once

#include <windows.h>

INT_PTR CALLBACK ChooserPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the open-file dialog owned by `edit`; on OK the edit shows the path.
void BrowseForImage(HWND edit);
