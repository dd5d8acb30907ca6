// What a drive row's icon shows, in the words a screen reader says after
// the letter ("E:, USB stick"). Portable: the device's answers are given.
#pragma once

#include <cstdint>

enum class DriveKind { Removable, UsbStick, Card, Diskette, FixedDisk };

// STORAGE_BUS_TYPE's buses that carry sticks and cards.
constexpr uint32_t kDriveBusUsb = 7, kDriveBusSd = 0xC, kDriveBusMmc = 0xD;

// A 3.5-inch diskette drive is one (on USB too), a stick or card that calls
// itself fixed says so, a removable disk on USB is a stick, on SD or MMC a
// card; anything else (a bus not answered) a removable drive.
DriveKind DriveKindOf(bool disketteDrive, bool fixedDisk, uint32_t busType);
