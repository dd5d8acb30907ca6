// The pane list: the wizard's four steps drawn as coloured rounded bars. Each
// entry's string is its title, which is also what a screen reader reads.
#pragma once

#include <windows.h>

// Refills the four titles in the current language, keeping the selection.
void RefillPaneTitles(HWND mainWindow);

// Gives the list its font and row height at the main window's DPI.
void ApplyPaneListLook(HWND list);

BOOL DrawPaneListItem(const DRAWITEMSTRUCT* item);

constexpr UINT kPaneListItemHeight = 32;  // at 96 dpi
