// A write must not be cut short by the end of the Windows session or by the
// console's Close: half a drive written is worse than none. While a write
// runs, the session end is refused with a reason Windows shows the user, and
// the console's Close is greyed out where Windows allows it.
#pragma once

#include <windows.h>

// Blocks the session end and the console's Close when a write has started,
// lifts both when it is over. On the UI thread, whenever WriteActive changed.
void GuardSessionEndDuringWrite(HWND window);

// The answer to WM_QUERYENDSESSION: FALSE while a write runs, else TRUE.
BOOL MaySessionEnd();

// For WM_ENDSESSION when the session does end: waits, for a bounded time, for
// a running write to end, running the writer's requests to the window
// meanwhile (it may be waiting for one of them).
void WaitForWriteBeforeSessionEnd(HWND window);
