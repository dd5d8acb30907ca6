// How a status line is laid out in the Install pane's list: broken into
// lines that fit the list's width, and the lines grouped into list rows no
// taller than Windows lets a list-box item be (LB_SETITEMHEIGHT refuses more
// than 255 pixels). A long line at a high scale takes several rows.
#pragma once

#include <cstddef>

// A stretch of a UTF-8 text: `length` bytes from `from`.
struct TextSpan {
    size_t from;
    size_t length;
};

// How many of the first `count` bytes of `text` fit in the width the caller
// measures for (0 to count).
using FitCall = size_t (*)(const char* text, size_t count, void* context);

// The line that starts at or after `from` in `text` (of `length`): broken
// after the last space that fits, or within a word longer than a line (a
// path, a SHA-256), and at a '\n'. The spaces and the '\n' at a break belong
// to no line. A span of length 0 at `length` when nothing is left. The next
// line starts at the end of this one. A line holds whole characters.
TextSpan NextStatusLine(const char* text, size_t length, size_t from, FitCall fit, void* context);

// How many lines of `lineHeight` pixels one row takes: as many as fit in
// `maxRowHeight`, at least one.
size_t LinesPerStatusRow(int lineHeight, int maxRowHeight);
