// What a file name may be: the attached image's 8.3 name, the names Windows
// keeps for devices, the name part of a path.
#pragma once

#include <string_view>

// True for a plain DOS 8.3 file name without any folder part: 1 to 8
// characters, optionally a '.' and 1 to 3 more, each from A-Z, a-z, 0-9 and
// _-~!#$%&'(){}^@` , and not a device name such as CON or COM1.
bool IsPlainDosFileName(std::string_view name);

// True when Windows would open `name` as a device rather than a file: CON,
// PRN, AUX, NUL, COM1-9 or LPT1-9, in any case, with or without an extension.
bool IsWindowsDeviceName(std::string_view name);

// The file-name part of a Windows path: what follows its last backslash.
const char* FileNamePart(const char* path);
