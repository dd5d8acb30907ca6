// The drives that hold a page file, from the list Windows keeps in the
// registry (Memory Management's ExistingPageFiles or PagingFiles).
#pragma once

#include <cstddef>

// Reads a REG_MULTI_SZ list of `size` bytes, whose terminators may be
// missing, and adds the drive letter of every entry ("\??\C:\pagefile.sys",
// "d:\pagefile.sys 16 2048") to `letters` in upper case, each once, as text.
// Entries without a letter ("?:\pagefile.sys": Windows picks the drive) are
// passed over. `capacity` counts the terminator.
void AddPageFileLetters(const char* list, size_t size, char* letters, size_t capacity);
