#include "text/utf8_text.h"

namespace {

bool IsContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

}  // namespace

size_t Utf8CharStart(const char* text, size_t at) {
    while (at > 0 && IsContinuation(text[at]))
        --at;
    return at;
}

size_t Utf8CharEnd(const char* text, size_t at, size_t length) {
    if (at < length)
        ++at;
    while (at < length && IsContinuation(text[at]))
        ++at;
    return at;
}

size_t Utf8BytesOfUnits(const char* text, size_t count, size_t units) {
    size_t at = 0, used = 0;
    while (at < count) {
        const size_t end = Utf8CharEnd(text, at, count);
        // Four bytes and more are a character beyond the 16-bit range: a surrogate pair.
        const size_t width = end - at >= 4 ? 2 : 1;
        if (used + width > units)
            break;
        used += width;
        at = end;
    }
    return at;
}
