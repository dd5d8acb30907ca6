#include "devices/wow64.h"

#include <windows.h>

#ifndef _WIN64
// IsWow64Process2 (Windows 10, version 1709) also knows an x86 program on
// ARM64 Windows; older Windows has only IsWow64Process, which Windows 7 has.
bool RunsUnderWow64() {
    using IsWow64Process2Call = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process2");
    if (found != nullptr) {
        USHORT processMachine = IMAGE_FILE_MACHINE_UNKNOWN;
        USHORT nativeMachine = IMAGE_FILE_MACHINE_UNKNOWN;
        if (reinterpret_cast<IsWow64Process2Call>(reinterpret_cast<void*>(found))(GetCurrentProcess(), &processMachine,
                                                                                  &nativeMachine))
            return processMachine != IMAGE_FILE_MACHINE_UNKNOWN;
    }
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}
#endif
