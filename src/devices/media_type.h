// Reading the answer to a media-types query.
#pragma once

#include <cstddef>

// Whether a media-types answer (an array of 24-byte disk geometry records)
// names a 3.5-inch diskette medium as its first type.
bool IsThreeAndHalfInchAnswer(const unsigned char* answer, size_t size);
