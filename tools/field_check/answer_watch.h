// How fast the wizard's window answers, all along the check: a thread of
// its own sends WM_NULL every few milliseconds to the window it is told of
// and keeps every round trip. Around each it sends WM_NULL to the desktop
// window too, whose thread does no work of ours: what that answer costs is
// the machine's own delay (a busy processor, a slow window server), which
// the report gives beside the wizard's, to tell a slow wizard from a busy PC.
#pragma once

#include <windows.h>

#include "field_verdict.h"

// Starts the watching thread; false when it could not be started.
bool StartAnswerWatch();
// The window to ask from now on; null while there is none.
void WatchWindow(HWND window);
// What the wizard is being asked to do now (a text that lives as long as
// the program), for the report's slow answers.
void WatchPhase(const char* phase);
// Stops the thread and sums up what it measured; answers slower than
// `slowMs` are kept for the report.
AnswerTimes StopAnswerWatch(double slowMs);
