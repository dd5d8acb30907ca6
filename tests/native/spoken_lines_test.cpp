// What a screen reader hears of the status list: lines' names, Start's
// description, and the line a check run leaves selected.
#include "status/spoken_lines.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

constexpr MessageKind E = MessageKind::Error, O = MessageKind::Ok, W = MessageKind::Warning;
const KindWords kEnglish{"Error", "OK", "Warning"};
const KindWords kDutch{"Fout", "OK", "Waarschuwing"};

std::string Taken(char* text) {
    std::string copy = text != nullptr ? text : "(null)";
    free(text);
    return copy;
}

TEST(SpokenLines, NamesAndStartsDescriptionKeepTheKindWord) {
    EXPECT_EQ(Taken(SpokenLine({O, "Image checked."}, kEnglish)), "Image checked.");
    EXPECT_EQ(Taken(SpokenLine({E, "No drive."}, kEnglish)), "Error: No drive.");
    EXPECT_EQ(Taken(SpokenLine({W, "Fixed disk."}, kDutch)), "Waarschuwing: Fixed disk.");

    const ReportLine lines[] = {{O, "ok"}, {W, "old"}, {E, "gone"}, {W, "old"}, {O, "ok"}, {E, "old"}};
    const struct {
        size_t count;
        const KindWords* words;
        const char* description;
    } kCases[] = {
        {0, &kEnglish, ""},
        {1, &kEnglish, ""},
        {3, &kEnglish, "Warning: old Error: gone"},
        // A warning replayed from an earlier write is said once; the same
        // text as an Error is another line.
        {6, &kEnglish, "Warning: old Error: gone Error: old"},
        {6, &kDutch, "Waarschuwing: old Fout: gone Fout: old"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.count);
        EXPECT_EQ(Taken(StartDescription(lines, c.count, *c.words)), c.description);
    }
}

TEST(SpokenLines, ACheckRunKeepsTheLineTheUserHolds) {
    const ReportLine after[] = {{O, "a"}, {W, "b"}, {O, "c"}, {W, "b"}, {O, "d"}};
    const ReportLine b{W, "b"}, gone{O, "gone"}, otherKind{E, "b"};
    const struct {
        const ReportLine* held;
        size_t heldNumber;
        bool focused;
        size_t count;
        long selected;
    } kCases[] = {
        {nullptr, 0, false, 5, -1},  // nobody holds a line, the list has no focus: nothing
        {nullptr, 0, true, 5, 4},    // the focus on the list: the newest line
        {&b, 0, true, 5, 1},         // the held line, not the newest, even with the focus
        {&b, 3, false, 5, 3},        // of two equal lines, the one nearest its old place
        {&b, 2, true, 5, 1},         // a tie goes to the earlier
        {&otherKind, 1, true, 5, 1}, // another kind is another line: gone, its place kept
        {&gone, 2, true, 5, 2},      // gone: the line now at its place
        {&gone, 9, true, 5, 4},      // gone from past the end: the last
        {&b, 0, true, 0, -1},        // an empty list
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::to_string(c.heldNumber) + (c.held != nullptr ? c.held->text : "-"));
        EXPECT_EQ(LineAfterCheckRun(after, c.count, c.held, c.heldNumber, c.focused), c.selected);
    }
}

}  // namespace
