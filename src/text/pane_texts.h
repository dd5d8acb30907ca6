// Applying catalogue texts to a pane's controls.
#pragma once

#include <windows.h>

// Shows a control's text in the current language. The control's user-data
// word, when non-zero, names the text to show instead of its own id.
void ApplyControlText(HWND pane, int controlId);

// Makes the panes' text font for `dpi` (first call: before the panes exist).
// Returns the font it replaces, for the caller to delete once every pane has
// taken the new one; null the first time.
HFONT MakePaneFont(unsigned dpi);

// Gives a pane's text controls the panes' text font.
void ApplyPaneFont(HWND pane);

// Re-applies font and texts to every localised control of a pane and retitles
// the main window. Controls without a label of their own get their names
// for screen readers in the current language.
void ApplyPaneTexts(HWND pane);
