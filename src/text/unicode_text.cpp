#include "text/unicode_text.h"

#include <windows.h>

#include <climits>
#include <cstdlib>

char* Utf8FromAnsi(const char* text) {
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    auto* wide = units > 0 ? static_cast<wchar_t*>(malloc(static_cast<size_t>(units) * sizeof(wchar_t))) : nullptr;
    if (wide == nullptr || MultiByteToWideChar(CP_ACP, 0, text, -1, wide, units) != units) {
        free(wide);
        return nullptr;
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, units, nullptr, 0, nullptr, nullptr);
    char* utf8 = bytes > 0 ? static_cast<char*>(malloc(static_cast<size_t>(bytes))) : nullptr;
    if (utf8 != nullptr && WideCharToMultiByte(CP_UTF8, 0, wide, units, utf8, bytes, nullptr, nullptr) != bytes) {
        free(utf8);
        utf8 = nullptr;
    }
    free(wide);
    return utf8;
}

wchar_t* WideFromUtf8(const char* text, size_t bytes, int* units) {
    const int asked = bytes == static_cast<size_t>(-1) ? -1 : bytes > INT_MAX ? INT_MAX : static_cast<int>(bytes);
    // A text of no bytes is no failure: it is the empty text.
    const int needed = asked == 0 ? 0 : MultiByteToWideChar(CP_UTF8, 0, text, asked, nullptr, 0);
    auto* wide = static_cast<wchar_t*>(malloc((static_cast<size_t>(needed > 0 ? needed : 0) + 1) * sizeof(wchar_t)));
    if (wide == nullptr)
        return nullptr;
    int length = needed > 0 ? MultiByteToWideChar(CP_UTF8, 0, text, asked, wide, needed) : 0;
    // A whole text's count includes its terminator.
    if (asked < 0 && length > 0)
        --length;
    wide[length > 0 ? length : 0] = L'\0';
    if (units != nullptr)
        *units = length > 0 ? length : 0;
    return wide;
}
