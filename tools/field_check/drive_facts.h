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

// Waits up to `limitMs` (or until `stopped` says so) for the disk of `before` to be
// there again after the USB restart, on its own letter or any other Windows
// gave it; `found` is then what that letter leads to. "" when found.
std::string WaitForDriveBack(const TargetIdentity& before, unsigned limitMs, bool (*stopped)(),
                             TargetIdentity* found);

// Writes `bytes` (1,474,560, sector-aligned) back to the drive's start with
// the program's own raw write, which reads them back into `readBack`; only a
// drive the program would write. "" when written and read back equal.
std::string PutBackStart(const TargetIdentity& identity, const uint8_t* bytes, uint8_t* readBack);
