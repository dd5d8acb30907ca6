#include "write/disk_descriptor.h"

#include <cstring>

namespace {

// STORAGE_DEVICE_DESCRIPTOR: Version (4), Size (4), DeviceType (1),
// DeviceTypeModifier (1), RemovableMedia (1), CommandQueueing (1), then the
// offsets of vendor (12), product (16), revision (20) and serial (24),
// BusType (28), RawPropertiesLength (32), RawDeviceProperties from 36.
constexpr size_t kSizeOffset = 4;
constexpr size_t kRemovableOffset = 10;
constexpr size_t kVendorOffset = 12;
constexpr size_t kProductOffset = 16;
constexpr size_t kSerialOffset = 24;
constexpr size_t kBusTypeOffset = 28;
constexpr size_t kFixedPartSize = 36;

uint32_t ReadU32(const uint8_t* at) {
    uint32_t value = 0;
    memcpy(&value, at, sizeof(value));
    return value;
}

// Copies the string at the offset stored at `field`, if it lies whole within
// `bound`; non-printable bytes become '?', surrounding spaces go.
void CopyString(const uint8_t* answer, size_t bound, size_t field, char* text, size_t capacity) {
    text[0] = '\0';
    const uint32_t offset = ReadU32(answer + field);
    // 0 means none; an offset into the fixed part is nonsense.
    if (offset < kFixedPartSize || offset >= bound)
        return;
    const uint8_t* start = answer + offset;
    const void* end = memchr(start, '\0', bound - offset);
    if (end == nullptr)
        return;
    size_t length = static_cast<const uint8_t*>(end) - start;
    while (length > 0 && *start == ' ')
        ++start, --length;
    while (length > 0 && start[length - 1] == ' ')
        --length;
    if (length >= capacity)
        length = capacity - 1;
    for (size_t i = 0; i < length; ++i)
        text[i] = start[i] >= 0x20 && start[i] < 0x7F ? char(start[i]) : '?';
    text[length] = '\0';
}

}  // namespace

DiskDescriptor ReadDiskDescriptor(const uint8_t* answer, size_t size) {
    DiskDescriptor descriptor{};
    if (answer == nullptr || size < kFixedPartSize)
        return descriptor;
    const uint32_t declared = ReadU32(answer + kSizeOffset);
    if (declared < kFixedPartSize)
        return descriptor;
    // The answer may be cut short of the declared size, or padded past it.
    const size_t bound = declared < size ? declared : size;
    descriptor.answered = true;
    descriptor.removableMedia = answer[kRemovableOffset] != 0;
    descriptor.busType = ReadU32(answer + kBusTypeOffset);
    CopyString(answer, bound, kVendorOffset, descriptor.vendor, sizeof(descriptor.vendor));
    CopyString(answer, bound, kProductOffset, descriptor.product, sizeof(descriptor.product));
    CopyString(answer, bound, kSerialOffset, descriptor.serial, sizeof(descriptor.serial));
    return descriptor;
}

bool IsRemovableKind(const DiskDescriptor& descriptor) {
    if (!descriptor.answered)
        return false;
    return descriptor.removableMedia || descriptor.busType == kBusTypeUsb || descriptor.busType == kBusTypeSd ||
           descriptor.busType == kBusTypeMmc;
}

bool SameSerialDevice(const DiskDescriptor& a, const DiskDescriptor& b) {
    return a.serial[0] != '\0' && strcmp(a.serial, b.serial) == 0 && strcmp(a.vendor, b.vendor) == 0 &&
           strcmp(a.product, b.product) == 0;
}

bool NamesHarddiskObject(const char* target) {
    static const char kPrefix[] = "\\device\\harddisk";
    if (target == nullptr)
        return false;
    size_t i = 0;
    for (; kPrefix[i] != '\0'; ++i) {
        const char c = target[i] >= 'A' && target[i] <= 'Z' ? char(target[i] - 'A' + 'a') : target[i];
        if (c != kPrefix[i])
            return false;
    }
    // "\Device\Harddisk1" or "\Device\Harddisk1\DR1", never "...HarddiskVolume1".
    if (target[i] < '0' || target[i] > '9')
        return false;
    while (target[i] >= '0' && target[i] <= '9')
        ++i;
    return target[i] == '\0' || target[i] == '\\';
}
