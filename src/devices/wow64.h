// Whether this program runs as a 32-bit program on 64-bit Windows (WOW64),
// where Windows lets only 64-bit programs stop and start devices.
#pragma once

// True for the 32-bit program on 64-bit Windows. The 64-bit program never
// is, and leaves out what only the 32-bit one says.
#ifdef _WIN64
inline bool RunsUnderWow64() {
    return false;
}
inline bool NativeMachineIsArm64() {
    return false;
}
#else
bool RunsUnderWow64();
// True for the 32-bit program on ARM64 Windows, where the 64-bit program
// (x64) runs only emulated, and not at all on Windows 10.
bool NativeMachineIsArm64();
#endif
