// Paths and texts in the check are UTF-8; Windows is asked through its wide
// calls, so that a folder named outside the ANSI code page works too.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

std::wstring Wide(const std::string& text);
std::string Utf8(const wchar_t* text, int units = -1);

// The whole file at `path`, when it is at most `maxSize` bytes; false when it
// cannot be read or is larger.
bool ReadFileBytes(const std::string& path, uint32_t maxSize, std::vector<uint8_t>* bytes);
