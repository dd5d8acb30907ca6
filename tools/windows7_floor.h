// Functions and DLLs that Windows 7 SP1 lacks, with the first Windows that
// has them, as Microsoft's documentation gives it ("Minimum supported client").
// A program meant for Windows 7 must not import any of them statically: it
// looks them up at run time, with a fallback.
#pragma once

#include <string>

// The first Windows that has `function` of `dll` (a Unicode or ANSI name ending
// in W or A counts as its base name too), or "" when Windows 7 SP1 has it.
const char* FirstWindowsWith(const std::string& dll, const std::string& function);
