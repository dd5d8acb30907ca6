// Which device handle the image is written through, and whether the drive's
// sectors suit the track-sized chunks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "devices/device_path.h"
#include "write/disk_answers.h"

enum class WriteTargetKind {
    Volume,         // write through \\.\X: (the disk is not known)
    PhysicalDrive,  // write through \\.\PhysicalDriveN, from the disk's first byte
    Refused,        // write nothing
};

struct WriteTarget {
    WriteTargetKind kind;
    ExtentsReading reading;
    bool diskKnown;           // true when the answer named the volume's disk
    uint32_t diskNumber;      // that disk; every volume on it must be locked for PhysicalDrive
    uint64_t startingOffset;  // where the volume starts on that disk
    DevicePath path;          // the handle to open; empty text when Refused
};

// Decides the write target of drive `letter` from what its volume's
// disk-extents answer said: a volume on one disk is written through that
// disk; a missing or malformed answer falls back to the volume; a spanned
// volume is refused.
WriteTarget ChooseWriteTarget(char letter, const VolumeExtents& extents);
// The same, from the raw answer (see ReadVolumeExtents).
WriteTarget ChooseWriteTarget(char letter, bool answered, const uint8_t* answer, size_t answerSize);

enum class SectorSizeVerdict {
    Fits,      // the chunk and all its offsets are whole sectors
    TooLarge,  // a real sector size that does not divide the chunk (4096, ...)
    Absurd,    // not a power of two from 512 to 65,536
};

struct SectorSizeCheck {
    SectorSizeVerdict verdict;
    uint32_t bytesPerSector;  // the size decided on: 512 when the drive gave none
};

// Checks a drive's logical sector size against the write chunk. 0 stands for
// no answer and counts as 512.
SectorSizeCheck CheckSectorSize(uint32_t bytesPerSector);

// MediaType F3_720_512: a 3.5-inch double-density diskette of 737,280 bytes.
constexpr uint32_t kMediaTypeDiskette720 = 5;

enum class MediumFit {
    Fits,         // the image fits, or the medium's size is not known
    Diskette720,  // a 720 KB diskette: a 1.44 MB one is wanted
    TooSmall,     // any other medium shorter than the image
};

// Whether a medium of `length` bytes (0: not known) and `mediaType` can take
// the whole image. Only a size that is known refuses: a length, or a media
// type that has one.
MediumFit CheckMediumFit(uint64_t length, uint32_t mediaType);
