// Texts between the program's UTF-8 and Windows' UTF-16 and ANSI code page.
#pragma once

#include <cstddef>

// A malloc'ed UTF-8 copy of `text`, which is in the ANSI code page; null
// when it cannot be converted or memory runs out.
char* Utf8FromAnsi(const char* text);

// A malloc'ed, terminated UTF-16 copy of the first `bytes` of the UTF-8
// `text` (all of it for (size_t)-1); `*units` (when given) receives its
// length. Null when memory runs out.
wchar_t* WideFromUtf8(const char* text, size_t bytes = static_cast<size_t>(-1), int* units = nullptr);
