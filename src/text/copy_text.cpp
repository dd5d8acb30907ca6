#include "text/copy_text.h"

#include <cstdlib>
#include <cstring>

char* CopyText(const char* text) {
    const size_t length = strlen(text);
    char* copy = static_cast<char*>(malloc(length + 1));
    if (copy != nullptr)
        memcpy(copy, text, length + 1);
    return copy;
}
