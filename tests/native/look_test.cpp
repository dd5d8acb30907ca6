#include "shell/look.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr Surface kAll[] = {Surface::PaneEntry,     Surface::PaneEntrySelected, Surface::PaneEntryDisabled,
                            Surface::DriveRow,      Surface::DriveRowSelected,  Surface::StatusRowEven,
                            Surface::StatusRowOdd,  Surface::Background,        Surface::PaneBorder,
                            Surface::ChooserLabel,  Surface::StatusRowSelected};

bool Same(ColourChoice a, ColourChoice b) {
    return a.system == b.system && a.value == b.value;
}

// High contrast hands every colour to the user's theme, in the pairs Windows
// defines (a fill with its own text colour); a chosen row still stands out.
TEST(Look, HighContrastUsesSystemPairs) {
    const struct {
        uint32_t fill, text;
    } kPairs[] = {{kSysWindow, kSysWindowText},
                  {kSysHighlight, kSysHighlightText},
                  {kSysButtonFace, kSysButtonText},
                  {kSysButtonFace, kSysGrayText}};
    for (Surface surface : kAll) {
        const SurfaceLook look = LookOf(surface, true);
        SCOPED_TRACE(static_cast<int>(surface));
        EXPECT_TRUE(look.fill.system && look.text.system && look.accent.system);
        bool paired = false;
        for (const auto& pair : kPairs)
            paired = paired || (look.fill.value == pair.fill && look.text.value == pair.text);
        EXPECT_TRUE(paired);
        EXPECT_FALSE(Same(LookOf(surface, false).text, LookOf(surface, false).fill));
    }
    const Surface kChosen[][2] = {{Surface::PaneEntry, Surface::PaneEntrySelected},
                                  {Surface::DriveRow, Surface::DriveRowSelected}};
    for (const auto& rows : kChosen)
        for (bool contrast : {false, true})
            EXPECT_FALSE(Same(LookOf(rows[0], contrast).fill, LookOf(rows[1], contrast).fill));
}

// WCAG 2's contrast ratio of two 0x00BBGGRR colours.
double Contrast(uint32_t a, uint32_t b) {
    const double weights[] = {0.2126, 0.7152, 0.0722};  // red, green, blue
    double l[2] = {0.05, 0.05};                           // the luminances, plus 0.05
    for (int i = 0; i < 6; ++i) {
        const double c = (((i < 3 ? a : b) >> (8 * (i % 3))) & 0xFF) / 255.0;
        l[i / 3] += weights[i % 3] * (c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return std::fmax(l[0], l[1]) / std::fmin(l[0], l[1]);
}

// Every text the program colours itself is read at 4.5:1 or better on what
// lies behind it (a chooser label's band); a disabled step may be faint.
TEST(Look, OwnTextsStandOutFromTheirFill) {
    EXPECT_NEAR(Contrast(0xFFFFFF, 0x000000), 21.0, 0.01);
    for (Surface surface : kAll) {
        const SurfaceLook look = LookOf(surface, false);
        const ColourChoice behind = surface == Surface::ChooserLabel ? look.accent : look.fill;
        SCOPED_TRACE(static_cast<int>(surface));
        if (surface != Surface::PaneEntryDisabled && !look.text.system && !behind.system) {
            EXPECT_GE(Contrast(look.text.value, behind.value), 4.5);
        }
    }
}

TEST(Look, SizesFollowTheDpi) {
    const struct {
        unsigned dpi;
        int row, margin, icon;  // a 32-pixel row, a 3-pixel margin and the status icon
    } kCases[] = {
        {96, 32, 3, 16}, {120, 40, 4, 20},  {144, 48, 5, 24},  {168, 56, 5, 24},
        {192, 64, 6, 32}, {288, 96, 9, 32}, {72, 24, 2, 16},   {0, 32, 3, 16},  // 0: not known, as 96
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.dpi);
        EXPECT_EQ(ScaleFrom96(32, c.dpi), c.row);
        EXPECT_EQ(ScaleFrom96(3, c.dpi), c.margin);
        EXPECT_EQ(StatusIconSize(c.dpi), c.icon);
    }
    // A 40-pixel drive row holding a 48-pixel system icon and 4-pixel margins.
    const int kDriveRows[][2] = {{96, 56}, {144, 60}, {168, 70}, {192, 80}};
    for (const auto& row : kDriveRows)
        EXPECT_EQ(IconRowHeight(40, 48, row[0]), row[1]);
}

TEST(Look, PaneControlsScaledOnlyWhereWindowsLeftThem) {
    const struct {
        int widthNow, widthBefore;
        unsigned dpiBefore, dpi;
        bool scale;
    } kCases[] = {
        {100, 100, 96, 192, true},   // left as they were: scaled here
        {200, 100, 96, 192, false},  // laid out by Windows already
        {101, 150, 144, 96, false},  // to a smaller scale, laid out
        {150, 150, 144, 96, true},
        {100, 100, 96, 96, false},   // no change of scale
        {100, 100, 0, 192, false},   // the scale before is not known
    };
    for (const auto& c : kCases)
        EXPECT_EQ(PaneControlsNeedScaling(c.widthNow, c.widthBefore, c.dpiBefore, c.dpi), c.scale)
            << c.widthNow << " " << c.dpiBefore << "->" << c.dpi;
}

}  // namespace
