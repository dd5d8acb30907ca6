// The UI thread owns every window. Work that changes a window, the status list
// or the progress log and is asked for on a worker thread travels to the main
// window as a function and its argument; the UI thread runs it. The message
// carries its own work, so the window's procedure knows no subsystem.
#pragma once

#include <windows.h>

// What the UI thread runs for a worker; the result goes back to a sender.
using UiWork = LRESULT (*)(void* argument);

enum AppMessage : UINT {
    WM_APP_RUN_WORK = WM_APP + 1,  // lParam: one of this process's own requests
};

// Remembers the calling thread as the UI thread and `window` as the main window.
void SetUiWindow(HWND window);
HWND GetMainWindow();
bool OnUiThread();

// Runs `work(argument)` on the UI thread and returns its result: directly when
// called there, else sent to the main window, waiting until the UI thread is
// done (and, while many requests are in flight, for room to ask). Returns 0
// without running it when there is no main window (any more).
LRESULT RunOnUiThread(UiWork work, void* argument);

// Posts `work(argument)` to the main window without waiting: for notices that
// must not hold a worker up and may be dropped. The argument must outlive the
// post. Returns false, having posted nothing, when the request cannot be made
// (no memory, too many in flight, no window).
bool PostToUiThread(UiWork work, void* argument);

// Posts `work(argument)`, waiting for room while many requests are in flight,
// or sends it when it cannot be posted: it is never lost while the window
// lives. A worker's posts run in the order it made them, but anything it
// sends runs before its earlier posts: a worker whose window changes must
// stay in order queues them all this way. On the UI thread it runs at once.
// Returns false, having run nothing, only when there is no main window (any
// more): the caller then still owns the argument.
bool QueueOnUiThread(UiWork work, void* argument);

// Runs a WM_APP_RUN_WORK message; true when `message` was one. Only requests
// this process made and has not yet run are run: a message from any other
// program, whatever it carries, runs nothing.
bool HandleAppMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
