// Asking before a disk that calls itself fixed is written.
#pragma once

#include <windows.h>

// True when the chosen drive may be written: it is no disk that calls itself
// fixed, or the user said Yes to writing it. No is the default.
bool UserConfirmsFixedDisk(HWND pane);
