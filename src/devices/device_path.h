// The paths that open a drive or a whole disk as a device.
#pragma once

#include <cstddef>
#include <cstdint>

// Room for "\\.\PhysicalDrive4294967295" and its terminator.
constexpr size_t kDevicePathCapacity = 32;

// A device path such as \\.\E: or \\.\PhysicalDrive3; empty text when it could
// not be built.
struct DevicePath {
    char text[kDevicePathCapacity];
};

// \\.\X: for drive letter X (A-Z or a-z, kept as given); empty otherwise.
DevicePath VolumeDevicePath(char letter);
// \\.\PhysicalDriveN for disk number N.
DevicePath PhysicalDriveDevicePath(uint32_t diskNumber);
