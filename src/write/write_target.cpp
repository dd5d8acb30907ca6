#include "write/write_target.h"

#include "write/write_loop.h"

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

constexpr uint32_t kAssumedSectorSize = 512;
constexpr uint32_t kLargestSectorSize = 65536;

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

bool IsDriveLetter(char letter) {
    return (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
}

WriteTarget ThroughVolume(char letter, ExtentsReading reading) {
    WriteTarget target{};
    target.kind = WriteTargetKind::Volume;
    target.reading = reading;
    target.path = VolumeDevicePath(letter);
    return target;
}

WriteTarget Refusal(ExtentsReading reading) {
    WriteTarget target{};
    target.kind = WriteTargetKind::Refused;
    target.reading = reading;
    return target;
}

}  // namespace

WriteTarget ChooseWriteTarget(char letter, bool answered, const uint8_t* answer, size_t answerSize) {
    if (!IsDriveLetter(letter))
        return Refusal(ExtentsReading::BadLetter);
    // Without an answer the volume is all we know; it is what a diskette or
    // an unpartitioned stick would be written through anyway.
    if (!answered)
        return ThroughVolume(letter, ExtentsReading::NotAnswered);
    if (answer == nullptr || answerSize < kExtentsHeaderSize)
        return ThroughVolume(letter, ExtentsReading::Malformed);

    uint32_t count = ReadU32(answer);
    if (count == 0)
        return ThroughVolume(letter, ExtentsReading::Malformed);
    // The count alone is enough: a volume over several extents cannot take a
    // raw image, even when the answer had no room for all of them.
    if (count > 1)
        return Refusal(ExtentsReading::Spanned);
    if (answerSize - kExtentsHeaderSize < kExtentSize)
        return ThroughVolume(letter, ExtentsReading::Malformed);

    const uint8_t* extent = answer + kExtentsHeaderSize;
    uint32_t diskNumber = ReadU32(extent);
    int64_t start = ReadI64(extent + kExtentStartOffset);
    int64_t length = ReadI64(extent + kExtentLengthOffset);
    if (start < 0 || length < 0)
        return ThroughVolume(letter, ExtentsReading::Malformed);

    WriteTarget target{};
    target.diskKnown = true;
    target.diskNumber = diskNumber;
    target.startingOffset = uint64_t(start);
    // Through the disk even when the volume starts at its first byte: only
    // the disk handle can ask Windows to read the new layout afterwards, and
    // it is not cut off at the old file system's idea of the volume's size.
    target.kind = WriteTargetKind::PhysicalDrive;
    target.reading = start == 0 ? ExtentsReading::AtDiskStart : ExtentsReading::InsideDisk;
    target.path = PhysicalDriveDevicePath(diskNumber);
    return target;
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

SectorSizeCheck CheckSectorSize(uint32_t bytesPerSector) {
    if (bytesPerSector == 0)
        return SectorSizeCheck{SectorSizeVerdict::Fits, kAssumedSectorSize};
    bool powerOfTwo = (bytesPerSector & (bytesPerSector - 1)) == 0;
    // A drive that answers nonsense is no drive to write raw to.
    if (!powerOfTwo || bytesPerSector < kAssumedSectorSize || bytesPerSector > kLargestSectorSize)
        return SectorSizeCheck{SectorSizeVerdict::Absurd, bytesPerSector};
    // Each chunk must begin and end on a sector boundary; a raw device
    // refuses any other write.
    if (kWriteChunkSize % bytesPerSector != 0)
        return SectorSizeCheck{SectorSizeVerdict::TooLarge, bytesPerSector};
    return SectorSizeCheck{SectorSizeVerdict::Fits, bytesPerSector};
}
