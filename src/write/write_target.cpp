#include "write/write_target.h"

#include "write/write_loop.h"

namespace {

constexpr uint32_t kAssumedSectorSize = 512;
constexpr uint32_t kLargestSectorSize = 65536;

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

WriteTarget ChooseWriteTarget(char letter, const VolumeExtents& extents) {
    if (!IsDriveLetter(letter))
        return Refusal(ExtentsReading::BadLetter);
    // A volume over several extents cannot take a raw image.
    if (extents.reading == ExtentsReading::Spanned)
        return Refusal(ExtentsReading::Spanned);
    // Without a usable answer the volume is all we know; it is what a
    // diskette or an unpartitioned stick would be written through anyway.
    if (!NamesOneDisk(extents))
        return ThroughVolume(letter, extents.reading);

    WriteTarget target{};
    target.diskKnown = true;
    target.diskNumber = extents.diskNumber;
    target.startingOffset = extents.startingOffset;
    // Through the disk even when the volume starts at its first byte: only
    // the disk handle can ask Windows to read the new layout afterwards, and
    // it is not cut off at the old file system's idea of the volume's size.
    target.kind = WriteTargetKind::PhysicalDrive;
    target.reading = extents.reading;
    target.path = PhysicalDriveDevicePath(extents.diskNumber);
    return target;
}

WriteTarget ChooseWriteTarget(char letter, bool answered, const uint8_t* answer, size_t answerSize) {
    return ChooseWriteTarget(letter, ReadVolumeExtents(answered, answer, answerSize));
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

MediumFit CheckMediumFit(uint64_t length, uint32_t mediaType) {
    // The medium's own type says its size, even where no length is given.
    if (mediaType == kMediaTypeDiskette720)
        return MediumFit::Diskette720;
    return length == 0 || length >= kWriteImageSize ? MediumFit::Fits : MediumFit::TooSmall;
}
