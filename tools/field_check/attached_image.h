// The image attached to the program beside this one, unpacked with the
// program's own archive reader, to compare the written drive with.
#pragma once

#include <cstdint>
#include <string>

// Fills `image` (1,474,560 bytes) from `program`; "" when done, otherwise why not.
std::string ReadAttachedImage(const std::string& program, uint8_t* image);
