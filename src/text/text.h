// Catalogue texts in the current language.
#pragma once

#include <cstdint>

// The text `id` in the current language, formatted printf-style with the
// arguments that follow. The result lives in a buffer of the calling thread
// until that thread's next call; copy it to keep it.
const char* GetText(unsigned id, ...);

// The same in UTF-8, for a text that takes UTF-8 arguments (a path) and is
// shown through the Unicode calls (a status line).
const char* GetTextUtf8(unsigned id, ...);

// The current primary language id: 0xFFFF before the language bar is set up,
// 0 in placeholder mode.
uint16_t GetCurrentLanguage();
void SetCurrentLanguage(uint16_t language);
