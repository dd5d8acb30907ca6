#include "write/page_files.h"

#include <cstring>

namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

void AddLetter(char letter, char* letters, size_t capacity) {
    const char upper = letter >= 'a' ? char(letter - 'a' + 'A') : letter;
    const size_t used = strlen(letters);
    if (strchr(letters, upper) == nullptr && used + 1 < capacity) {
        letters[used] = upper;
        letters[used + 1] = '\0';
    }
}

}  // namespace

void AddPageFileLetters(const char* list, size_t size, char* letters, size_t capacity) {
    if (list == nullptr || letters == nullptr || capacity == 0)
        return;
    size_t at = 0;
    while (at < size) {
        size_t length = 0;
        while (at + length < size && list[at + length] != '\0')
            ++length;
        const char* entry = list + at;
        // The NT form names the drive behind "\??\".
        if (length >= 4 && memcmp(entry, "\\??\\", 4) == 0)
            entry += 4, length -= 4;
        if (length >= 2 && IsLetter(entry[0]) && entry[1] == ':')
            AddLetter(entry[0], letters, capacity);
        at = static_cast<size_t>(entry - list) + length + 1;
    }
}
