#include "devices/device_path.h"

#include <cstdio>

namespace {

bool IsDriveLetter(char letter) {
    return (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
}

}  // namespace

DevicePath VolumeDevicePath(char letter) {
    DevicePath path{};
    if (IsDriveLetter(letter))
        snprintf(path.text, sizeof(path.text), "\\\\.\\%c:", letter);
    return path;
}

DevicePath PhysicalDriveDevicePath(uint32_t diskNumber) {
    DevicePath path{};
    snprintf(path.text, sizeof(path.text), "\\\\.\\PhysicalDrive%lu", static_cast<unsigned long>(diskNumber));
    return path;
}
