#include "shell/look.h"

#include <gtest/gtest.h>

namespace {

constexpr Surface kAll[] = {Surface::PaneEntry,     Surface::PaneEntrySelected, Surface::PaneEntryDisabled,
                            Surface::DriveRow,      Surface::DriveRowSelected,  Surface::StatusRowEven,
                            Surface::StatusRowOdd,  Surface::Background,        Surface::PaneBorder,
                            Surface::ChooserLabel};

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
