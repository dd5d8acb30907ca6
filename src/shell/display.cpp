#include "shell/display.h"

#include <cstring>

#include "resource.h"
#include "shell/app_hooks.h"
#include "shell/ui_thread.h"
#include "text/console.h"
#include "text/language_bar.h"
#include "text/pane_texts.h"

namespace {

static_assert(kSysWindow == COLOR_WINDOW && kSysWindowText == COLOR_WINDOWTEXT && kSysHighlight == COLOR_HIGHLIGHT &&
                  kSysHighlightText == COLOR_HIGHLIGHTTEXT && kSysButtonFace == COLOR_BTNFACE &&
                  kSysGrayText == COLOR_GRAYTEXT && kSysButtonText == COLOR_BTNTEXT,
              "the look table names Windows' system colours");

UINT g_dpi;  // 0 until read
bool g_highContrast;

UINT SystemDpi() {
    static UINT dpi;
    if (dpi == 0) {
        const HDC screen = GetDC(nullptr);
        dpi = screen != nullptr ? static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY)) : 96;
        if (screen != nullptr)
            ReleaseDC(nullptr, screen);
        if (dpi == 0)
            dpi = 96;
    }
    return dpi;
}

bool ReadHighContrast() {
    HIGHCONTRASTA contrast = {};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

COLORREF Resolve(ColourChoice colour) {
    return colour.system ? GetSysColor(static_cast<int>(colour.value)) : static_cast<COLORREF>(colour.value);
}

// Common controls keep the system colours they read: they are told too.
BOOL CALLBACK TellChild(HWND child, LPARAM message) {
    SendMessageA(child, static_cast<UINT>(message), 0, 0);
    return TRUE;
}

bool OnDpiChanged(HWND window, WPARAM wParam, const RECT* suggested) {
    const UINT dpi = HIWORD(wParam);
    if (dpi == 0 || dpi == g_dpi)
        return false;
    ConsolePrint("The window now shows at %u dpi.\n", dpi);
    g_dpi = dpi;
    if (suggested != nullptr)
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void OnColoursChanged(HWND window, UINT message) {
    const bool before = g_highContrast;
    g_highContrast = ReadHighContrast();
    if (before != g_highContrast)
        ConsolePrint("High contrast is %s.\n", g_highContrast ? "on" : "off");
    if (message == WM_SYSCOLORCHANGE)
        EnumChildWindows(window, TellChild, WM_SYSCOLORCHANGE);
    // Any setting change comes here: only a change of colours repaints.
    if (message == WM_SYSCOLORCHANGE || before != g_highContrast)
        Repaint(window);
}

}  // namespace

UINT WindowDpi(HWND window) {
    using DpiCall = UINT(WINAPI*)(HWND);
    static DpiCall forWindow;
    static bool looked;
    if (!looked) {
        looked = true;
        // user32 has it from Windows 10 (1607) on.
        const FARPROC found = GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow");
        static_assert(sizeof(forWindow) == sizeof(found), "function pointers of one size");
        memcpy(&forWindow, &found, sizeof(forWindow));
    }
    const UINT dpi = forWindow != nullptr && window != nullptr ? forWindow(window) : 0;
    return dpi != 0 ? dpi : SystemDpi();
}

void ReadDisplaySettings(HWND mainWindow) {
    g_dpi = WindowDpi(mainWindow);
    g_highContrast = ReadHighContrast();
    MakePaneFont(g_dpi);
    ScaleLanguageBar(GetDlgItem(mainWindow, IDC_LANGUAGE_BAR), g_dpi);
    if (g_dpi != 96 || g_highContrast)
        ConsolePrint("The window shows at %u dpi%s.\n", g_dpi, g_highContrast ? ", in high contrast" : "");
}

UINT DisplayDpi() {
    return g_dpi != 0 ? g_dpi : SystemDpi();
}

int Scaled(int pixels) {
    return ScaleFrom96(pixels, DisplayDpi());
}

bool HighContrastOn() {
    return g_highContrast;
}

SurfaceColours ColoursOf(Surface surface) {
    const SurfaceLook look = LookOf(surface, g_highContrast);
    return {Resolve(look.fill), Resolve(look.text), Resolve(look.accent)};
}

HBRUSH PrepareSurface(HDC dc, Surface surface) {
    const SurfaceColours colours = ColoursOf(surface);
    SetTextColor(dc, colours.text);
    SetBkColor(dc, surface == Surface::ChooserLabel ? colours.accent : colours.fill);
    SetDCBrushColor(dc, colours.fill);
    return static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
}

bool FollowDisplayChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DPICHANGED)
        return OnDpiChanged(window, wParam, reinterpret_cast<const RECT*>(lParam));
    if (message == WM_SYSCOLORCHANGE || message == WM_SETTINGCHANGE)
        OnColoursChanged(window, message);
    return false;
}

void Repaint(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void DrawRowFocus(const DRAWITEMSTRUCT* item, const RECT& rect) {
    if ((item->itemState & ODS_FOCUS) == 0 || (item->itemState & ODS_NOFOCUSRECT) != 0)
        return;
    if ((SendMessageA(item->hwndItem, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0)
        return;
    // DrawFocusRect inverts: drawn once, on a row just drawn whole.
    DrawFocusRect(item->hDC, &rect);
}
