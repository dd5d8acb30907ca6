// The UI thread owns every window. Work that changes a window, the status list
// or the progress log and is asked for on a worker thread is sent to the main
// window as one of these messages; the worker waits until the UI thread is done.
#pragma once

#include <windows.h>

enum AppMessage : UINT {
    WM_APP_SWITCH_PANE = WM_APP + 1,  // SwitchPane(null)
    WM_APP_STEP_PANE,                 // wParam: delta as a signed int
    WM_APP_RUN_CHECKS,                // RunChecks()
    WM_APP_ADD_STATUS_ENTRY,          // wParam: MessageKind, lParam: owned text
    WM_APP_LOG_PROGRESS,              // wParam: MessageKind, lParam: text to copy
    WM_APP_LOADER_OUTCOME,            // wParam: 1 success, 0 failure
    WM_APP_DRIVE_LIST,                // lParam: DriveListUpdate*; result 1 when the list grew
    WM_APP_SET_TOPMOST,               // wParam: 1 in front of all windows, 0 back to normal
    WM_APP_WRITE_STATE,               // WriteActive changed: re-apply the Install pane's enable rules
    WM_APP_PROGRESS,                  // show the writer's latest progress report
};

// Remembers the calling thread as the UI thread and `window` as the main window.
void SetUiWindow(HWND window);
HWND GetMainWindow();
bool OnUiThread();

// Sends `message` to the main window and waits for the UI thread to handle it.
// Returns the handler's result, or 0 when there is no main window (any more).
LRESULT SendToUiThread(UINT message, WPARAM wParam, LPARAM lParam);

// Tells the UI thread, without waiting, that WriteActive changed.
void NotifyWriteStateChanged();

// Handles the messages above; returns true when `message` was one of them.
bool HandleAppMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
