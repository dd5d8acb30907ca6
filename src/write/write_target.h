// Which device handle the image is written through, and whether the drive's
// sectors suit the track-sized chunks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "devices/device_path.h"

enum class WriteTargetKind {
    Volume,         // write through \\.\X: (the disk is not known)
    PhysicalDrive,  // write through \\.\PhysicalDriveN, from the disk's first byte
    Refused,        // write nothing
};

// What the volume's disk-extents answer said.
enum class ExtentsReading {
    NotAnswered,  // the query failed
    Malformed,    // too short, no extents, one extent cut off, or a negative offset
    AtDiskStart,  // one extent at offset 0: the volume is the whole disk
    InsideDisk,   // one extent further in: a partition of the disk
    Spanned,      // more than one extent: the volume is not one run of a disk
    BadLetter,    // the drive letter gives no volume path; the answer is not read
};

struct WriteTarget {
    WriteTargetKind kind;
    ExtentsReading reading;
    bool diskKnown;           // true when the answer named the volume's disk
    uint32_t diskNumber;      // that disk; every volume on it must be locked for PhysicalDrive
    uint64_t startingOffset;  // where the volume starts on that disk
    DevicePath path;          // the handle to open; empty text when Refused
};

// Decides the write target of drive `letter` from the raw answer to the volume
// disk-extents query: `answered` is whether the call succeeded (or stopped for
// want of room, which still fills in the extent count), `answer` and
// `answerSize` the bytes it returned. Malformed or missing answers fall back to
// the volume; a spanned volume is refused whether or not all its extents fit.
WriteTarget ChooseWriteTarget(char letter, bool answered, const uint8_t* answer, size_t answerSize);

// True when one of the extents in a raw disk-extents answer lies on
// `diskNumber`; only the extents the answer holds in full are looked at.
bool ExtentsMentionDisk(const uint8_t* answer, size_t answerSize, uint32_t diskNumber);

// BytesPerSector from the raw answer to the drive-geometry query; 0 when the
// answer is missing or too short to hold it.
uint32_t BytesPerSectorFromGeometry(const uint8_t* answer, size_t answerSize);

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
