// The display the main window is on: its DPI and whether high contrast is
// on, read at start and again when Windows says they changed. UI thread only.
#pragma once

#include <windows.h>

#include "shell/look.h"

// The DPI Windows gives `window` (GetDpiForWindow where Windows has it, else
// the system's DPI).
UINT WindowDpi(HWND window);

// Reads the main window's DPI and the high-contrast setting.
void ReadDisplaySettings(HWND mainWindow);

// The main window's DPI; the system's before ReadDisplaySettings.
UINT DisplayDpi();
// `pixels` at 96 dpi, at the main window's DPI.
int Scaled(int pixels);

bool HighContrastOn();

// A surface's colours as the screen shows them now.
struct SurfaceColours {
    COLORREF fill;
    COLORREF text;
    COLORREF accent;
};
SurfaceColours ColoursOf(Surface surface);

// For WM_CTLCOLOR*: sets the text colours of `dc` for `surface` and returns
// the brush that fills it (the DC's own brush, so nothing needs deleting).
HBRUSH PrepareSurface(HDC dc, Surface surface);

// WM_DPICHANGED, WM_SYSCOLORCHANGE and WM_SETTINGCHANGE of the main window:
// the window takes the suggested rectangle, and colours follow. True when the
// window now shows at another DPI: fonts, icons and row heights must follow
// (the window does that, once the dialog manager, which still gets the
// message, has laid the controls out for the new DPI).
bool FollowDisplayChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Draws the window and everything in it again.
void Repaint(HWND window);

// Draws the focus rectangle in `rect` when the row has the focus and the
// keyboard has been used (ODS_NOFOCUSRECT, WM_QUERYUISTATE: until then Windows
// hides focus rectangles).
void DrawRowFocus(const DRAWITEMSTRUCT* item, const RECT& rect);
