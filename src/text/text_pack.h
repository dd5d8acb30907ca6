// Build side of the packed catalogue (text/packed_texts.h): takes the string
// tables out of a compiled resource file, as windres writes it, and deflates
// them together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Packs every string-table block of `res` (a .res file) in the order found.
// False, with the reason in `error`, when the file is not a well-formed
// resource file or holds no string table.
bool PackStringTables(const std::vector<uint8_t>& res, std::vector<uint8_t>* packed, std::string* error);
