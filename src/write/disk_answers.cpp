#include "write/disk_answers.h"

#include <cstring>

namespace {

// The disk-extents answer: NumberOfDiskExtents (4 bytes), 4 bytes of padding,
// then 24-byte extents of DiskNumber (4), padding (4), StartingOffset (8) and
// ExtentLength (8).
constexpr size_t kExtentsHeaderSize = 8;
constexpr size_t kExtentSize = 24;
constexpr size_t kExtentStartOffset = 8;
constexpr size_t kExtentLengthOffset = 16;

// Disk geometry: Cylinders (8), MediaType (4), TracksPerCylinder (4),
// SectorsPerTrack (4), BytesPerSector (4).
constexpr size_t kGeometrySize = 24;
constexpr size_t kBytesPerSectorOffset = 20;
constexpr size_t kMediaTypeOffset = 8;
constexpr size_t kTracksOffset = 12;
constexpr size_t kSectorsPerTrackOffset = 16;
// No drive is larger than this (an exbibyte): a bigger product is nonsense.
constexpr uint64_t kLargestMedium = uint64_t(1) << 60;

// STORAGE_HOTPLUG_INFO: Size (4), MediaRemovable, MediaHotplug, DeviceHotplug,
// WriteCacheEnableOverride (1 byte each).
constexpr size_t kHotplugSize = 8;
constexpr size_t kMediaRemovableOffset = 4;
constexpr size_t kDeviceHotplugOffset = 6;

uint32_t ReadU32(const uint8_t* at) {
    uint32_t value = 0;
    memcpy(&value, at, sizeof(value));
    return value;
}

int64_t ReadI64(const uint8_t* at) {
    int64_t value = 0;
    memcpy(&value, at, sizeof(value));
    return value;
}

VolumeExtents Reading(ExtentsReading reading) {
    return VolumeExtents{reading, 0, 0};
}

}  // namespace

VolumeExtents ReadVolumeExtents(bool answered, const uint8_t* answer, size_t answerSize) {
    if (!answered)
        return Reading(ExtentsReading::NotAnswered);
    if (answer == nullptr || answerSize < kExtentsHeaderSize)
        return Reading(ExtentsReading::Malformed);
    const uint32_t count = ReadU32(answer);
    if (count == 0)
        return Reading(ExtentsReading::Malformed);
    if (count > 1)
        return Reading(ExtentsReading::Spanned);
    if (answerSize - kExtentsHeaderSize < kExtentSize)
        return Reading(ExtentsReading::Malformed);

    const uint8_t* extent = answer + kExtentsHeaderSize;
    const int64_t start = ReadI64(extent + kExtentStartOffset);
    const int64_t length = ReadI64(extent + kExtentLengthOffset);
    if (start < 0 || length < 0)
        return Reading(ExtentsReading::Malformed);
    return VolumeExtents{start == 0 ? ExtentsReading::AtDiskStart : ExtentsReading::InsideDisk, ReadU32(extent),
                         uint64_t(start)};
}

bool ExtentsMentionDisk(const uint8_t* answer, size_t answerSize, uint32_t diskNumber) {
    if (answer == nullptr || answerSize < kExtentsHeaderSize)
        return false;
    const uint32_t count = ReadU32(answer);
    const size_t fit = (answerSize - kExtentsHeaderSize) / kExtentSize;
    for (size_t i = 0; i < count && i < fit; ++i)
        if (ReadU32(answer + kExtentsHeaderSize + i * kExtentSize) == diskNumber)
            return true;
    return false;
}

uint32_t BytesPerSectorFromGeometry(const uint8_t* answer, size_t answerSize) {
    if (answer == nullptr || answerSize < kGeometrySize)
        return 0;
    return ReadU32(answer + kBytesPerSectorOffset);
}

MediumGeometry MediumFromGeometry(const uint8_t* answer, size_t answerSize) {
    MediumGeometry medium{};
    if (answer == nullptr || answerSize < kGeometrySize)
        return medium;
    medium.mediaType = ReadU32(answer + kMediaTypeOffset);
    const int64_t cylinders = ReadI64(answer);
    const uint32_t factors[] = {ReadU32(answer + kTracksOffset), ReadU32(answer + kSectorsPerTrackOffset),
                                ReadU32(answer + kBytesPerSectorOffset)};
    if (cylinders <= 0 || uint64_t(cylinders) > kLargestMedium)
        return medium;
    uint64_t length = uint64_t(cylinders);
    for (const uint32_t factor : factors) {
        if (factor == 0 || length > kLargestMedium / factor)
            return medium;
        length *= factor;
    }
    medium.length = length;
    return medium;
}

uint64_t LengthFromAnswer(const uint8_t* answer, size_t answerSize) {
    if (answer == nullptr || answerSize < 8)
        return 0;
    const int64_t length = ReadI64(answer);
    return length > 0 ? uint64_t(length) : 0;
}

HotplugFacts ReadHotplugInfo(const uint8_t* answer, size_t answerSize) {
    if (answer == nullptr || answerSize < kHotplugSize)
        return HotplugFacts{};
    return HotplugFacts{true, answer[kMediaRemovableOffset] != 0, answer[kDeviceHotplugOffset] != 0};
}
