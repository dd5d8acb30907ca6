// What the shell tells the rooms above it. The shell knows no subsystem: the
// composition registers, at start and before the window exists, the functions
// that each event reaches; they run on the UI thread in the order registered.
#pragma once

#include <windows.h>
#include <shellapi.h>

using AppHook = void (*)();
using DeviceChangeHook = void (*)(WPARAM event);

// WM_DEVICECHANGE reached the main window; `event` is its wParam.
void AddDeviceChangeHook(DeviceChangeHook hook);
// WriteActive changed (told by a posted message, after the window's own
// close-when-idle check).
void AddWriteStateHook(AppHook hook);
// A pane took the texts of a newly chosen language.
void AddRelocaliseHook(AppHook hook);
// The process is about to end: the main window has closed, or the session
// ends.
void AddExitHook(AppHook hook);
// The window moved to a display of another DPI: what was sized in pixels is
// made anew (the shell's own pane list and pane fonts already are).
void AddDisplayChangeHook(AppHook hook);

// The wizard became the active window again, after Windows gave the focus
// back to the control that last had it.
void AddActivatedHook(AppHook hook);

// Files were dropped on the window: the hook takes them (and DragFinish).
void SetDropHook(void (*hook)(HDROP drop));

void RunDeviceChangeHooks(WPARAM event);
void RunDropHook(HDROP drop);
void RunWriteStateHooks();
void RunRelocaliseHooks();
void RunExitHooks();
void RunDisplayChangeHooks();
void RunActivatedHooks();
