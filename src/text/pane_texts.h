// Applying catalogue texts to a pane's controls.
#pragma once

#include <windows.h>

// Shows a control's text in the current language. The control's user-data
// word, when non-zero, names the text to show instead of its own id.
void ApplyControlText(HWND pane, int controlId);

// Re-applies font and texts to every localised control of a pane and retitles
// the main window.
void ApplyPaneTexts(HWND pane);
