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
    auto luminance = [](uint32_t bgr) {
        double sum = 0;
        const double weights[] = {0.2126, 0.7152, 0.0722};  // red, green, blue
        for (int i = 0; i < 3; ++i) {
            const double c = ((bgr >> (8 * i)) & 0xFF) / 255.0;
            sum += weights[i] * (c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return sum;
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::fmax(la, lb) + 0.05) / (std::fmin(la, lb) + 0.05);
}

// Every text the program colours itself is read at 4.5:1 or better on what
// lies behind it (a chooser label's band too); a disabled step may be faint.
TEST(Look, OwnTextsStandOutFromTheirFill) {
    EXPECT_NEAR(Contrast(0xFFFFFF, 0x000000), 21.0, 0.01);
    for (Surface surface : kAll) {
        const SurfaceLook look = LookOf(surface, false);
        if (surface == Surface::PaneEntryDisabled || look.text.system)
            continue;
        SCOPED_TRACE(static_cast<int>(surface));
        if (!look.fill.system) {
            EXPECT_GE(Contrast(look.text.value, look.fill.value), 4.5);
        }
        if (surface == Surface::ChooserLabel) {
            EXPECT_GE(Contrast(look.text.value, look.accent.value), 4.5);
        }
    }
}

TEST(Look, SizesFollowTheDpi) {
    const struct {
        unsigned dpi;
        int row, margin, icon;  // a 32-pixel row, a 3-pixel margin and the status icon
        int driveRow;           // a 40-pixel row holding a 48-pixel system icon
    } kCases[] = {
        {96, 32, 3, 16, 56},  {120, 40, 4, 20, 58},  {144, 48, 5, 24, 60}, {168, 56, 5, 24, 70},
        {192, 64, 6, 32, 80}, {288, 96, 9, 32, 120}, {72, 24, 2, 16, 54},  {0, 32, 3, 16, 56},  // 0: as 96
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.dpi);
        EXPECT_EQ(ScaleFrom96(32, c.dpi), c.row);
        EXPECT_EQ(ScaleFrom96(3, c.dpi), c.margin);
        EXPECT_EQ(StatusIconSize(c.dpi), c.icon);
        EXPECT_EQ(IconRowHeight(40, 48, c.dpi), c.driveRow);
    }
}

}  // namespace
