// What a disk says about itself: the storage device descriptor (removable or
// not, the bus it hangs on, vendor, product and serial number) and the kernel
// object its \\.\PhysicalDriveN name leads to.
#pragma once

#include <cstddef>
#include <cstdint>

// Bus types of STORAGE_BUS_TYPE that carry removable sticks and cards.
constexpr uint32_t kBusTypeUsb = 7;
constexpr uint32_t kBusTypeSd = 0xC;
constexpr uint32_t kBusTypeMmc = 0xD;

// Identifying strings keep at most this many characters (less the
// terminator); a longer one is cut, the same way every time.
constexpr size_t kDeviceTextCapacity = 64;
constexpr size_t kSerialCapacity = 128;

struct DiskDescriptor {
    bool answered;  // a descriptor whose fixed part came back whole
    bool removableMedia;
    uint32_t busType;
    // Printable ASCII with the padding spaces trimmed; "" when the disk gives none.
    char vendor[kDeviceTextCapacity];
    char product[kDeviceTextCapacity];
    char serial[kSerialCapacity];
};

// Reads a raw STORAGE_DEVICE_DESCRIPTOR answer of `size` bytes. A string
// counts only when its offset lies past the fixed part and inside both the
// answer and the descriptor's own size, and its terminator does too.
DiskDescriptor ReadDiskDescriptor(const uint8_t* answer, size_t size);

// True when the descriptor says removable media or a USB, SD or MMC bus.
bool IsRemovableKind(const DiskDescriptor& descriptor);

// True when both name the same device: vendor, product and serial match,
// and both have a serial.
bool SameSerialDevice(const DiskDescriptor& a, const DiskDescriptor& b);

// True when `target` (an answer of QueryDosDevice) is a disk object,
// "\Device\HarddiskN" or below it, not a volume ("\Device\HarddiskVolumeN")
// nor another driver's device.
bool NamesHarddiskObject(const char* target);
