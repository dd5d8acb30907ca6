#include "devices/wow64.h"

#include <windows.h>

#ifndef _WIN64
// IsWow64Process2 (Windows 10, version 1709) also knows an x86 program on
// ARM64 Windows; older Windows has only IsWow64Process, which Windows 7 has.
namespace {

// IMAGE_FILE_MACHINE_ARM64, which older headers lack.
constexpr USHORT kMachineArm64 = 0xAA64;

struct Machines {
    bool known;  // IsWow64Process2 answered
    USHORT process;
    USHORT native;
};

Machines AskMachines() {
    using IsWow64Process2Call = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    Machines machines = {false, IMAGE_FILE_MACHINE_UNKNOWN, IMAGE_FILE_MACHINE_UNKNOWN};
    const FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process2");
    if (found != nullptr)
        machines.known = reinterpret_cast<IsWow64Process2Call>(reinterpret_cast<void*>(found))(
                             GetCurrentProcess(), &machines.process, &machines.native) != FALSE;
    return machines;
}

}  // namespace

bool RunsUnderWow64() {
    const Machines machines = AskMachines();
    if (machines.known)
        return machines.process != IMAGE_FILE_MACHINE_UNKNOWN;
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool NativeMachineIsArm64() {
    const Machines machines = AskMachines();
    return machines.known && machines.native == kMachineArm64;
}
#endif
