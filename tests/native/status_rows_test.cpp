#include "status/status_rows.h"
#include "text/utf8_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Every character one unit wide; the context is the width in characters.
size_t FitChars(const char*, size_t count, void* context) {
    const size_t width = *static_cast<size_t*>(context);
    return count < width ? count : width;
}

std::vector<std::string> Lines(const std::string& text, size_t width) {
    std::vector<std::string> lines;
    for (size_t from = 0;;) {
        const TextSpan line = NextStatusLine(text.data(), text.size(), from, FitChars, &width);
        if (line.from >= text.size())
            return lines;
        lines.push_back(text.substr(line.from, line.length));
        from = line.from + line.length;
    }
}

TEST(StatusRows, LinesBreakBetweenWordsAndWithinLongOnes) {
    struct Case {
        const char* text;
        size_t width;
        std::vector<std::string> lines;
    } cases[] = {
        {"", 10, {}},
        {"short", 10, {"short"}},
        {"Write to: E:\\ and more", 10, {"Write to:", "E:\\ and", "more"}},
        // A space right after what fits breaks there.
        {"abcde fgh", 5, {"abcde", "fgh"}},
        // A SHA-256 after a name: the digest breaks within itself.
        {"SHA-256 of X: 0123456789abcdef", 8, {"SHA-256", "of X:", "01234567", "89abcdef"}},
        {"C:\\a\\very\\long\\path.img", 6, {"C:\\a\\v", "ery\\lo", "ng\\pat", "h.img"}},
        {"one\ntwo  three", 20, {"one", "two  three"}},
        {"a\n\nb", 5, {"a", "", "b"}},
        // However narrow, each line takes a character.
        {"ab", 0, {"a", "b"}},
        // UTF-8 (the width here counts bytes): a line never ends inside a character.
        {"C:\\Users\\\xC5\x81ukasz", 10, {"C:\\Users\\", "\xC5\x81ukasz"}},
        {"\xD0\x94\xD0\xBE\xD0\xBA", 3, {"\xD0\x94", "\xD0\xBE", "\xD0\xBA"}},
        {"a\xF0\x9F\x98\x80" "b", 2, {"a", "\xF0\x9F\x98\x80", "b"}},
        {"\xD0\x94\xD0\xBE", 0, {"\xD0\x94", "\xD0\xBE"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Lines(c.text, c.width), c.lines) << c.text << " at width " << c.width;
}

// Windows measures a line in UTF-16 units; what fits is taken back as whole
// UTF-8 characters, a surrogate pair whole or not at all.
TEST(StatusRows, MeasuredUnitsMapToWholeCharacters) {
    struct Case {
        const char* text;
        size_t units, bytes;
    } cases[] = {
        {"\xC5\x81ukasz", 1, 2}, {"\xC5\x81ukasz", 9, 7}, {"a\xF0\x9F\x98\x80" "b", 2, 1},
        {"a\xF0\x9F\x98\x80" "b", 3, 5}, {"\xD0\x94\xD0\xBE\xD0\xBA", 0, 0}, {"\xE2\x80\xA6x", 1, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utf8BytesOfUnits(c.text, strlen(c.text), c.units), c.bytes) << c.text << " in " << c.units;
}

TEST(StatusRows, RowsStayWithinWhatAListBoxTakes) {
    // 20-pixel lines at 100 %, 40 at 200 %, 60 at 300 %; a row at most 255.
    struct Case {
        int lineHeight;
        size_t lines;
    } cases[] = {{20, 12}, {40, 6}, {60, 4}, {255, 1}, {300, 1}, {0, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(LinesPerStatusRow(c.lineHeight, 255), c.lines) << c.lineHeight;
        if (c.lineHeight <= 255) {
            EXPECT_LE(static_cast<int>(c.lines) * c.lineHeight, 255);
        }
    }
}

}  // namespace
