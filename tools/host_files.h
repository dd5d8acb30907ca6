// Whole-file reads and writes for the host tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes);

// Writes a whole file; on failure removes what was written and returns false.
bool WriteWholeFile(const char* path, const uint8_t* bytes, size_t size);
