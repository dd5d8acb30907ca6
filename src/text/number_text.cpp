#include "text/number_text.h"

namespace {
constexpr uint16_t kDutch = 0x13;  // LANG_DUTCH
}  // namespace

void FormatGroupedNumber(uint64_t value, uint16_t primaryLanguage, char (&text)[kGroupedNumberSize]) {
    const char separator = primaryLanguage == kDutch ? '.' : ',';
    // Written backwards from the end, then moved to the front.
    char reversed[kGroupedNumberSize];
    size_t length = 0;
    unsigned digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0)
            reversed[length++] = separator;
        reversed[length++] = static_cast<char>('0' + value % 10);
        value /= 10;
        ++digits;
    } while (value > 0);
    for (size_t i = 0; i < length; ++i)
        text[i] = reversed[length - 1 - i];
    text[length] = '\0';
}
