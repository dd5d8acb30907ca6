// The source chooser inside the Welcome pane: the attached image or a file of
// the user's choosing.
#pragma once

#include <windows.h>

INT_PTR CALLBACK ChooserPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the open-file dialog owned by `edit`; on OK the edit shows the path.
void BrowseForImage(HWND edit);

// Makes `path` the external image, as if typed into the edit with "Select
// another disk image" chosen: a file dropped on the window, or named on the
// command line. The caller runs the checks again.
void ChooseExternalFile(const wchar_t* path);
