// Finding the USB device behind a disk from their device instance ids.
#pragma once

#include <cstddef>

// Room for a serial of 63 characters and its terminator.
constexpr size_t kUsbSerialCapacity = 64;

enum class SerialVerdict {
    Found,        // a serial of 1 to 63 characters
    NoBackslash,  // the id has no "\" at all
    NoAmpersand,  // no "&" stands after the id's last "\"
    Empty,        // nothing between the last "\" and the last "&"
    TooLong,      // 64 characters or more: it does not fit, and nothing is restarted
};

struct UsbSerial {
    SerialVerdict verdict;
    char text[kUsbSerialCapacity];  // NUL-terminated; empty unless Found
    size_t length;
};

// The serial part of a disk's instance id: the text after its last "\", up to
// but not including its last "&". USBSTOR\DISK&VEN_X&PROD_Y&REV_1.00\0123456789AB&0
// gives 0123456789AB. The id is read from `id` up to its first NUL or
// `capacity` bytes, whichever comes first.
UsbSerial SerialFromDiskInstanceId(const char* id, size_t capacity);

// True when a USB device's instance id ends, after its last "\", in exactly
// the serial (case counts). A serial that was not Found matches nothing, and
// neither does an id without "\". The id is bounded as above.
bool UsbInstanceIdMatches(const char* id, size_t capacity, const UsbSerial& serial);
