// The status list's keys over lines of one, two and three items.
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

}  // namespace
