// The write's progress where Windows users look for it: on the program's
// taskbar button, and a flash of the window when a write ends behind
// another. UI thread only.
#pragma once

#include <cstdint>

// Shows `position` of `total` on the taskbar button, in the normal state.
void ShowTaskbarProgress(uint32_t position, uint32_t total);

// A write or Put back has ended: the button goes back to no progress, or
// shows the error state when it failed; the window flashes when it is not
// in front.
void EndTaskbarProgress(bool failed);
