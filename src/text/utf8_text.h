// Status lines and the external image's path are UTF-8 inside the program:
// where such a text is cut, it is cut between characters. Portable.
#pragma once

#include <cstddef>

// The start of the character that byte `at` of `text` lies in: `at` itself
// unless it is a continuation byte.
size_t Utf8CharStart(const char* text, size_t at);

// The end of the character that starts at `at` in `text` (of `length`):
// past its continuation bytes, at most `length`.
size_t Utf8CharEnd(const char* text, size_t at, size_t length);

// How many bytes of the first `count` of `text` take at most `units` UTF-16
// units, whole characters only (one from four bytes on takes two).
size_t Utf8BytesOfUnits(const char* text, size_t count, size_t units);
