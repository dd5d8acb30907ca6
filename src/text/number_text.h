// Numbers as a language writes them in running text.
#pragma once

#include <cstddef>
#include <cstdint>

// Up to 20 digits, 6 separators and the terminating NUL.
constexpr size_t kGroupedNumberSize = 27;

// `value` in groups of three digits: "1,228,800" in English, "1.228.800" in
// Dutch (primary language ids as GetCurrentLanguage gives them).
void FormatGroupedNumber(uint64_t value, uint16_t primaryLanguage, char (&text)[kGroupedNumberSize]);
