// Reading Windows' raw answers about a volume and its disk: the volume's
// disk extents and the drive geometry. Every answer is untrusted: a short or
// odd answer reads as missing, never past its end.
#pragma once

#include <cstddef>
#include <cstdint>

// What the volume's disk-extents answer said.
enum class ExtentsReading {
    NotAnswered,  // the query failed
    Malformed,    // too short, no extents, one extent cut off, or a negative offset
    AtDiskStart,  // one extent at offset 0: the volume is the whole disk
    InsideDisk,   // one extent further in: a partition of the disk
    Spanned,      // more than one extent: the volume is not one run of a disk
    BadLetter,    // the drive letter gives no volume path; the answer is not read
};

struct VolumeExtents {
    ExtentsReading reading;
    uint32_t diskNumber;      // when the volume lies on one disk (AtDiskStart, InsideDisk)
    uint64_t startingOffset;  // where the volume starts on that disk
};

// Reads the raw answer to the volume disk-extents query: `answered` is
// whether the call succeeded (or stopped for want of room, which still fills
// in the extent count), `answer` and `answerSize` the bytes it returned. The
// count alone tells a spanned volume, even when not all its extents fit.
VolumeExtents ReadVolumeExtents(bool answered, const uint8_t* answer, size_t answerSize);

// True when the volume lies on one disk, named by `diskNumber`.
inline bool NamesOneDisk(const VolumeExtents& extents) {
    return extents.reading == ExtentsReading::AtDiskStart || extents.reading == ExtentsReading::InsideDisk;
}

// True when one of the extents in a raw disk-extents answer lies on
// `diskNumber`; only the extents the answer holds in full are looked at.
bool ExtentsMentionDisk(const uint8_t* answer, size_t answerSize, uint32_t diskNumber);

// BytesPerSector from the raw answer to the drive-geometry query; 0 when the
// answer is missing or too short to hold it.
uint32_t BytesPerSectorFromGeometry(const uint8_t* answer, size_t answerSize);

// What the drive-geometry answer says of the medium in the drive: its
// MediaType and its length (cylinders x tracks x sectors x bytes per
// sector); a length of 0 when the answer is missing, short or absurd.
struct MediumGeometry {
    uint32_t mediaType;
    uint64_t length;
};
MediumGeometry MediumFromGeometry(const uint8_t* answer, size_t answerSize);

// The one 64-bit length of a length-information answer; 0 when short or negative.
uint64_t LengthFromAnswer(const uint8_t* answer, size_t answerSize);

// What the hot-plug answer says: the device may be pulled out while Windows
// runs (DeviceHotplug), or its medium may (MediaRemovable).
struct HotplugFacts {
    bool answered;
    bool mediaRemovable;
    bool deviceHotplug;
};
HotplugFacts ReadHotplugInfo(const uint8_t* answer, size_t answerSize);
