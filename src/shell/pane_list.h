// The pane list: the wizard's four steps drawn as coloured rounded bars.
#pragma once

#include <windows.h>

// Refills the four titles in the current language, keeping the selection.
void RefillPaneTitles(HWND mainWindow);

BOOL DrawPaneListItem(const DRAWITEMSTRUCT* item);

constexpr UINT kPaneListItemHeight = 32;
