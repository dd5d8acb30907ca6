#include "shell/look.h"

namespace {

constexpr ColourChoice Own(uint32_t bgr) {
    return {false, bgr};
}
constexpr ColourChoice Sys(SystemColour index) {
    return {true, index};
}

struct LookRow {
    SurfaceLook normal;
    SurfaceLook highContrast;
};

// One row per Surface, in its order. High contrast pairs each fill with the
// text colour Windows means for it, so the user's theme decides both.
constexpr LookRow kLooks[] = {
    // PaneEntry
    {{Own(0x7E5C19), Own(0xFFFFFF), Own(0xCFCFCF)},
     {Sys(kSysButtonFace), Sys(kSysButtonText), Sys(kSysButtonText)}},
    // PaneEntrySelected: dark enough for its white title to be read (4.5:1)
    {{Own(0xA07818), Own(0xFFFFFF), Own(0xFFDD6A)},
     {Sys(kSysHighlight), Sys(kSysHighlightText), Sys(kSysHighlightText)}},
    // PaneEntryDisabled
    {{Own(0xA8A8A8), Own(0xFFFFFF), Own(0xCFCFCF)},
     {Sys(kSysButtonFace), Sys(kSysGrayText), Sys(kSysGrayText)}},
    // DriveRow: the list's own window colour, as an unselected list row
    {{Sys(kSysWindow), Own(0x000000), Sys(kSysWindow)},
     {Sys(kSysWindow), Sys(kSysWindowText), Sys(kSysWindow)}},
    // DriveRowSelected
    {{Own(0xAE8C19), Own(0x000000), Own(0xAE8C19)},
     {Sys(kSysHighlight), Sys(kSysHighlightText), Sys(kSysHighlight)}},
    // StatusRowEven
    {{Own(0xFFFADC), Own(0x000000), Own(0xFFFADC)},
     {Sys(kSysWindow), Sys(kSysWindowText), Sys(kSysWindow)}},
    // StatusRowOdd
    {{Own(0xFFEBCD), Own(0x000000), Own(0xFFEBCD)},
     {Sys(kSysWindow), Sys(kSysWindowText), Sys(kSysWindow)}},
    // Background
    {{Own(0xFFFFFF), Own(0x000000), Own(0xFFFFFF)},
     {Sys(kSysWindow), Sys(kSysWindowText), Sys(kSysWindow)}},
    // PaneBorder
    {{Own(0xFFFFFF), Own(0x000000), Own(0xAE8C19)},
     {Sys(kSysWindow), Sys(kSysWindowText), Sys(kSysWindowText)}},
    // ChooserLabel
    {{Own(0xFFFFFF), Own(0x000000), Own(0x9BFF9B)},
     {Sys(kSysWindow), Sys(kSysWindowText), Sys(kSysWindow)}},
    // StatusRowSelected: the user's highlight, as any list shows its chosen row
    {{Sys(kSysHighlight), Sys(kSysHighlightText), Sys(kSysHighlight)},
     {Sys(kSysHighlight), Sys(kSysHighlightText), Sys(kSysHighlight)}},
};
static_assert(sizeof(kLooks) / sizeof(kLooks[0]) == static_cast<unsigned>(Surface::Count), "one look per surface");

}  // namespace

SurfaceLook LookOf(Surface surface, bool highContrast) {
    const unsigned index = static_cast<unsigned>(surface);
    if (index >= static_cast<unsigned>(Surface::Count))
        return kLooks[static_cast<unsigned>(Surface::Background)].highContrast;
    return highContrast ? kLooks[index].highContrast : kLooks[index].normal;
}

bool PaneControlsNeedScaling(int widthNow, int widthBefore, unsigned dpiBefore, unsigned dpi) {
    if (dpiBefore == 0 || dpi == 0 || dpiBefore == dpi)
        return false;
    const long long scaled = static_cast<long long>(widthBefore) * dpi / dpiBefore;
    const long long fromBefore = widthNow > widthBefore ? widthNow - widthBefore : widthBefore - widthNow;
    const long long fromScaled = widthNow > scaled ? widthNow - scaled : scaled - widthNow;
    return fromBefore < fromScaled;
}

int ScaleFrom96(int pixels, unsigned dpi) {
    if (dpi == 0)
        dpi = 96;
    const long long scaled = static_cast<long long>(pixels) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 48) / 96 : -((-scaled + 48) / 96));
}

int StatusIconSize(unsigned dpi) {
    constexpr int kDrawn[] = {32, 24, 20, 16};
    const int wanted = ScaleFrom96(16, dpi);
    for (int size : kDrawn)
        if (size <= wanted)
            return size;
    return 16;
}

int IconRowHeight(int rowAt96, int iconHeight, unsigned dpi) {
    const int row = ScaleFrom96(rowAt96, dpi);
    const int needed = iconHeight + 2 * ScaleFrom96(4, dpi);
    return needed > row ? needed : row;
}
