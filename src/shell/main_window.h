// The wizard's frame: a modal dialog with the pane list, the language toolbar
// and the current pane.
#pragma once

#include <windows.h>

// Initialises the common controls and runs the main window until it closes.
// Returns the process's exit code.
int RunMainWindow();

// Tells the window that WriteActive changed (queued from a worker, at once on
// the UI thread): it closes if a close waited for the write, then runs the
// write-state hooks.
void NotifyWriteStateChanged();

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void InitMainWindow(HWND window);
