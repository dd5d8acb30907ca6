// Opening a removable drive for a raw write: the right device, its volumes
// locked and dismounted, its sectors checked.
#pragma once

#include <windows.h>

#include <cstdint>

#include "install/write_loop.h"

constexpr unsigned kMaxHeldVolumes = 32;

struct TargetDevice {
    HANDLE handle;                    // written to: the volume or the whole disk
    HANDLE volumes[kMaxHeldVolumes];  // locked volumes, released on close
    unsigned volumeCount;
    bool handleIsVolume;  // handle is volumes[0]
    DWORD lastError;      // of the last failed seek or write; 0 when none failed
};

enum class TargetOpenOutcome {
    Opened,
    CannotOpen,    // the device would not open
    InUse,         // a volume of the drive could not be locked
    LargeSectors,  // sectors that the track-sized chunks do not fit
    Spanned,       // a volume over several disks
};

// Opens drive `letter` for writing from its disk's first byte: through the
// volume when the volume is the whole disk (or the disk cannot be asked),
// else through the physical drive with every volume of that disk locked.
// On anything but Opened nothing is left open and nothing was written.
TargetOpenOutcome OpenTargetDevice(char letter, TargetDevice* device);

// The write loop's view of an opened target.
WriteDevice TargetWriteDevice(TargetDevice* device);

// Flushes, unlocks and closes everything OpenTargetDevice opened. Returns
// false when the flush failed: the data may not all be on the drive.
bool CloseTargetDevice(TargetDevice* device);
