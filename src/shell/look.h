// How the program's own surfaces look: their colours in normal and in high
// contrast, and pixel sizes at the window's DPI. Portable: the Win32 side
// (shell/display.h) turns a system colour into the user's choice of it.
#pragma once

#include <cstdint>

// A colour as a surface asks for it: one of the program's own (0x00BBGGRR),
// or one of the user's system colours, named by Windows' COLOR_* number.
struct ColourChoice {
    bool system;
    uint32_t value;
};

// Windows' numbers for the system colours that high contrast uses.
enum SystemColour : uint32_t {
    kSysWindow = 5,
    kSysWindowText = 8,
    kSysHighlight = 13,
    kSysHighlightText = 14,
    kSysButtonFace = 15,
    kSysGrayText = 17,
    kSysButtonText = 18,
};

enum class Surface : uint8_t {
    PaneEntry,          // a step of the pane list
    PaneEntrySelected,  // the step shown
    PaneEntryDisabled,  // the list while a write runs
    DriveRow,
    DriveRowSelected,
    StatusRowEven,
    StatusRowOdd,
    Background,     // the frame and the panes, and their labels
    PaneBorder,     // the line around the shown pane (its accent)
    ChooserLabel,   // the source chooser's labels: the accent lies behind their text
    StatusRowSelected,
    Count,
};

// fill: what the surface is filled with; text: what is written on it;
// accent: a pane-list bar's outline, the pane border, or the band behind a
// chooser label's text.
struct SurfaceLook {
    ColourChoice fill;
    ColourChoice text;
    ColourChoice accent;
};

// The look of `surface`; in high contrast every colour is a system colour.
SurfaceLook LookOf(Surface surface, bool highContrast);

// `pixels` at 96 dpi, at `dpi`, rounded to the nearest pixel.
int ScaleFrom96(int pixels, unsigned dpi);

// Whether a pane's own controls still have their size at `dpiBefore` after
// the window moved to `dpi`: Windows lays out again only the window's own
// children (the panes), not the controls inside them. Judged by one
// control's width, nearer to what it was than to that scaled.
bool PaneControlsNeedScaling(int widthNow, int widthBefore, unsigned dpiBefore, unsigned dpi);

// The status icons are drawn at 16, 20, 24 and 32 pixels: the largest of
// them that fits 16 pixels scaled to `dpi`, so that none is stretched.
int StatusIconSize(unsigned dpi);

// A list row of `rowAt96` pixels at 96 dpi, scaled to `dpi`, and never
// shorter than an icon of `iconHeight` pixels with a 4-pixel (at 96 dpi)
// margin above and below: the system's icons follow the system's DPI, which
// may be larger than the window's.
int IconRowHeight(int rowAt96, int iconHeight, unsigned dpi);
