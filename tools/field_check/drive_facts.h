// The drive under test, asked of Windows with the program's own storage
// calls and checks: whether the program would write it, what the device says
// about itself, its first bytes read as a write reaches them, and its letter
// coming back after the USB restart.
#pragma once

#include <cstdint>
#include <string>

#include "write/target_identity.h"

struct DriveFacts {
    TargetIdentity identity;
    uint64_t length;         // bytes; 0 when the device does not say
    uint32_t sectorSize;     // bytes; 0 when the device does not say
    bool fixedStick;         // Windows calls the letter fixed; the program lists it as a stick
};

// Asks Windows about drive `letter`; returns why the program would refuse
// it, or "" when it would write it.
std::string AskDrive(char letter, DriveFacts* facts);

// Reads the drive's first 1,474,560 bytes into `bytes` (sector-aligned),
// through the whole disk when it is known, locked, as a write reaches them.
// "" when read; otherwise what went wrong. `identity` is the device read.
std::string ReadDriveStart(const TargetIdentity& identity, uint8_t* bytes);

// Waits up to `limitMs` for drive `letter` to be there again after the USB
// restart; returns the device it then leads to, which must be the same disk
// as `before` (letter 0 in `found`'s identity otherwise). "" when it is.
std::string WaitForDriveBack(const TargetIdentity& before, unsigned limitMs, TargetIdentity* found);
