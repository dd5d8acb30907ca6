// The boxes the wizard opens (MessageBox): found among the top-level windows
// of the wizard's own process, read, and answered by posting the button's
// command, so that the check never waits inside the box's loop.
#pragma once

#include <windows.h>

#include "field_verdict.h"

// A shown dialog window of process `pid`, not `except`, that holds control
// `control` (0: any); null when there is none.
HWND FindDialogOf(DWORD pid, HWND except, int control);

// A box of process `pid` other than its main window `main`, shown; false
// when there is none.
bool FindBox(DWORD pid, HWND main, HWND* box, BoxSeen* seen);

// Presses Yes, or else the box's safe way out (No, Cancel, OK: the first it
// has). False when the box is gone or the post failed.
bool AnswerBox(HWND box, bool yes);
