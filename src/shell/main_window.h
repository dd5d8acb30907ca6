// The wizard's frame: a modal dialog with the pane list, the language toolbar
// and the current pane.
#pragma once

#include <windows.h>

// Initialises the common controls and runs the main window until it closes.
// Returns the process's exit code.
int RunMainWindow();

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void InitMainWindow(HWND window);
