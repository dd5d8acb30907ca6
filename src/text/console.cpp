#include "text/console.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void ConsolePrint(const char* format, ...) {
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    const int length = vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    if (length < 0)
        return;
    if (static_cast<size_t>(length) < sizeof(line)) {
        fwrite(line, 1, static_cast<size_t>(length), stdout);
        return;
    }
    // Paths may be up to a kilobyte long: a longer text is formatted again
    // into a buffer of its size.
    char* text = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
    if (text == nullptr) {
        fwrite(line, 1, sizeof(line) - 1, stdout);
        return;
    }
    va_start(arguments, format);
    vsnprintf(text, static_cast<size_t>(length) + 1, format, arguments);
    va_end(arguments);
    fwrite(text, 1, static_cast<size_t>(length), stdout);
    free(text);
}
