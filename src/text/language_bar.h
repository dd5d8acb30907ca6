// The language toolbar and the choice of the language.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

// Fills the toolbar with one check-group button per language and picks the
// starting language from the user's interface language (English otherwise).
// The bar is one tab stop: the arrows move between its buttons, Space or
// Enter chooses.
void SetupLanguageBar(HWND toolbar);

// Gives the buttons their names for screen readers ("English", ...), once
// the bar shows.
void NameLanguageButtons(HWND toolbar);

// Makes the language at `index` of the language table current; a negative or
// unknown index changes nothing.
void SelectLanguage(int index);

// Gives the captions their font at `dpi` (the main window's).
void ScaleLanguageBar(HWND toolbar, unsigned dpi);

// NM_CUSTOMDRAW of the toolbar: draws each caption in the program's font
// (some toolbars keep their own font whatever WM_SETFONT gives them).
// Returns the custom-draw answer.
LRESULT DrawLanguageButton(const NMTBCUSTOMDRAW* draw);
