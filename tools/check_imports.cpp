// check-imports [--list] PROGRAM.exe...
//
// Checks that Windows 7 SP1 can start each program: none of its static
// imports (the DLLs and functions Windows resolves before the program runs)
// is one that only later Windows has. Each such import is named with the
// first Windows that has it; the exit status is 1 when there is one, or
// when a program's import table cannot be read. --list prints every import.
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "host_files.h"
#include "pe_imports.h"
#include "windows7_floor.h"

namespace {

// True when every import of the program is one that Windows 7 SP1 has.
bool CheckProgram(const char* path, bool list) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, &bytes)) {
        std::fprintf(stderr, "check-imports: cannot read %s\n", path);
        return false;
    }
    const PeImports found = ReadPeImports(bytes.data(), bytes.size());
    // A program of ours imports at least from kernel32: none at all means
    // the table was not read as it should be.
    if (!found.readable || found.imports.empty()) {
        std::fprintf(stderr, "check-imports: %s: no import table that can be read\n", path);
        return false;
    }
    std::set<std::string> dlls;
    unsigned newer = 0;
    for (const PeImport& import : found.imports) {
        dlls.insert(import.dll);
        if (list)
            std::printf("  %s!%s\n", import.dll.c_str(), import.function.c_str());
        const char* first = FirstWindowsWith(import.dll, import.function);
        if (*first == '\0')
            continue;
        ++newer;
        std::printf("%s imports %s!%s, which Windows 7 lacks (first in %s): look it up at run time.\n", path,
                    import.dll.c_str(), import.function.c_str(), first);
    }
    std::printf("%s: a %s program, %zu static imports from %zu DLLs, %u newer than Windows 7.\n", path,
                MachineName(found.machine), found.imports.size(), dlls.size(), newer);
    return newer == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool list = argc > 1 && strcmp(argv[1], "--list") == 0;
    if (argc < 2 + (list ? 1 : 0)) {
        std::fprintf(stderr, "usage: check-imports [--list] PROGRAM.exe...\n");
        return 2;
    }
    bool allGood = true;
    for (int i = list ? 2 : 1; i < argc; ++i)
        allGood = CheckProgram(argv[i], list) && allGood;
    return allGood ? 0 : 1;
}
