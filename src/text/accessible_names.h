// Names for screen readers of the controls that have no label of their own.
#pragma once

#include <windows.h>

// Gives each unlabelled control of `pane` (the image path, the drive list,
// the status list, the write's progress bar) its name in the current
// language, through Active Accessibility's property service. A Windows
// without that service leaves them unnamed.
void NameUnlabelledControls(HWND pane);
