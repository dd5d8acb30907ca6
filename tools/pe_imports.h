// Reads what a Windows program imports statically: the DLLs and functions
// named in its import table, which Windows resolves before the program runs.
// The program's bytes are untrusted: every offset is checked against them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PeImport {
    std::string dll;       // as the table names it, such as KERNEL32.dll
    std::string function;  // the function's name, or "#N" for an import by ordinal
};

struct PeImports {
    bool readable = false;  // false: no PE headers or import table we can read
    uint16_t machine = 0;   // the file header's Machine: 0x14C x86, 0x8664 x64
    std::vector<PeImport> imports;
};

// Every static import of the program in `data` (its whole file).
PeImports ReadPeImports(const uint8_t* data, size_t size);

// "32-bit (x86)", "64-bit (x64)", or "neither x86 nor x64" for any other machine.
const char* MachineName(uint16_t machine);
