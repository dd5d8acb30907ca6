// Names for screen readers of the controls that have no label of their own.
#pragma once

#include <windows.h>

// Gives each unlabelled control of `pane` (the image path, the drive list,
// the status list, the write's progress bar) its name in the current
// language, through Active Accessibility's property service. A Windows
// without that service leaves them unnamed.
void NameUnlabelledControls(HWND pane);

// Names a part of `control` (a toolbar's button: 1 for the first) for screen
// readers; `name` is in the ANSI code page, or UTF-8 when `utf8`.
void NameControlPart(HWND control, unsigned part, const char* name, bool utf8 = false);

// Gives `control` a description (UTF-8: status lines) for screen readers,
// spoken after its name (as its description and its help text); an empty one
// takes it away.
void DescribeControl(HWND control, const char* description);

