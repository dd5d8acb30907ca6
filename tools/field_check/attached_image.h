// The image attached to the program checked, unpacked with the program's own
// archive reader, to compare the written drive with; and which programs
// beside the check carry one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "program_choice.h"

// Fills `image` (1,474,560 bytes) from `program`; "" when done, otherwise why not.
std::string ReadAttachedImage(const std::string& program, uint8_t* image);

// The .exe files in `folder` (ending in a backslash) but `self`: whether each
// carries an image and is made for 32-bit Windows.
std::vector<ProgramSeen> ProgramsBeside(const std::string& folder, const std::string& self);
