// The status list's keys over lines of one, two and three items, and the
// lines a screen reader is given of the same items.
#include "status/line_items.h"
#include "status/line_moves.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// "A" starts a line, "+" goes on with the line above.
bool Continued(size_t index, void* rows) {
    return (*static_cast<const std::string*>(rows))[index] == '+';
}

TEST(LineMoves, KeysGoFromLineToLineNeverOntoAContinuation) {
    const std::string rows = "AA++AA+A";  // lines at 0, 1 (three items), 4, 5 (two), 7
    const ListLayout list{rows.size(), Continued, const_cast<std::string*>(&rows)};
    const struct {
        long from;
        LineMove move;
        size_t page;
        long to;
    } kCases[] = {
        {1, LineMove::Down, 4, 4},  {4, LineMove::Up, 4, 1},      {2, LineMove::Up, 4, 0},
        {3, LineMove::Down, 4, 4},  {7, LineMove::Down, 4, 7},    {0, LineMove::Up, 4, 0},
        {0, LineMove::PageDown, 4, 1}, {1, LineMove::PageDown, 4, 4}, {7, LineMove::PageUp, 4, 4},
        {4, LineMove::PageUp, 2, 1}, {5, LineMove::PageDown, 9, 7}, {4, LineMove::Home, 4, 0},
        {0, LineMove::End, 4, 7},   {-1, LineMove::Down, 4, 0},   {-1, LineMove::End, 4, 7},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::to_string(c.from) + " move " + std::to_string(static_cast<int>(c.move)));
        EXPECT_EQ(LineMoveTarget(list, c.from, c.move, c.page), c.to);
    }
    EXPECT_EQ(LineMoveTarget({0, Continued, nullptr}, -1, LineMove::Down, 4), -1);
}

TEST(LineItems, ReadersCountLinesAndEachItemMeansItsLine) {
    const std::string rows = "AA++AA+A";
    const ListLayout list{rows.size(), Continued, const_cast<std::string*>(&rows)};
    EXPECT_EQ(LineCount(list), 5u);
    const long kLineOf[] = {0, 1, 1, 1, 2, 3, 3, 4};
    for (long item = 0; item < 8; ++item)
        EXPECT_EQ(LineOfItem(list, item), kLineOf[item]) << "item " << item;
    EXPECT_EQ(LineOfItem(list, -1), -1);
    EXPECT_EQ(LineOfItem(list, 8), -1);
    const size_t kFirst[] = {0, 1, 4, 5, 7}, kItems[] = {1, 3, 1, 2, 1};
    size_t first = 0, items = 0;
    for (size_t line = 0; line < 5; ++line) {
        ASSERT_TRUE(ItemsOfLine(list, line, &first, &items)) << "line " << line;
        EXPECT_EQ(first, kFirst[line]);
        EXPECT_EQ(items, kItems[line]);
    }
    EXPECT_FALSE(ItemsOfLine(list, 5, &first, &items));
    // A list whose first item is marked as going on still starts a line.
    const std::string odd = "+A";
    EXPECT_EQ(LineCount({odd.size(), Continued, const_cast<std::string*>(&odd)}), 2u);
    EXPECT_EQ(LineCount({0, Continued, nullptr}), 0u);
}

TEST(LineItems, NavigationAndStatesFollowTheLines) {
    const struct {
        size_t count;
        long from;
        LineStep step;
        long to;
    } kSteps[] = {
        {5, -1, LineStep::First, 0}, {5, -1, LineStep::Last, 4}, {5, 0, LineStep::Next, 1}, {5, 4, LineStep::Next, -1},
        {5, 0, LineStep::Previous, -1}, {5, 3, LineStep::Previous, 2}, {0, -1, LineStep::First, -1},
        {0, -1, LineStep::Last, -1}, {5, 7, LineStep::Previous, -1},
    };
    for (const auto& s : kSteps)
        EXPECT_EQ(StepLine(s.count, s.from, s.step), s.to) << s.count << " " << s.from << " " << static_cast<int>(s.step);
    const long kAble = kStateFocusable | kStateSelectable;
    // The selection and the caret on a line's second item, its first scrolled away.
    const ItemView held[] = {{false, false, false}, {true, true, true}};
    const ItemView away[] = {{false, false, false}, {false, false, false}};
    EXPECT_EQ(LineState(held, 2, true, true), kAble | kStateSelected | kStateFocused);
    EXPECT_EQ(LineState(held, 2, false, true), kAble | kStateSelected);
    EXPECT_EQ(LineState(away, 2, true, true), kAble | kStateOffscreen);
    EXPECT_EQ(LineState(held, 2, true, false), kStateUnavailable | kStateSelected);
}

}  // namespace
