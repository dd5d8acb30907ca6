// A 1.44 MB diskette as the drive turns it: 80 cylinders of two sides, 18
// sectors a side. What a request costs is the track sides it touches, a
// rotation each, so every pass reads and writes whole track sides.
#pragma once

#include <cstdint>

constexpr uint32_t kDisketteCylinders = 80;
constexpr uint32_t kDisketteSides = 2;
constexpr uint32_t kDisketteSectorsPerSide = 18;
constexpr uint32_t kDisketteSideBytes = kDisketteSectorsPerSide * 512;

// MediaType F3_1Pt44_512: a 3.5-inch high-density diskette.
constexpr uint32_t kMediaTypeDiskette144 = 2;

// True when a medium of `mediaType` (0: not said) and `length` bytes (0: not
// known) is a diskette: a floppy media type, or exactly the 1.44 MB image's
// length, which no stick or card has.
bool IsDisketteMedium(uint32_t mediaType, uint64_t length);

// How many bytes a pass that reads the medium asks for at a time: on a
// diskette one cylinder (both sides, 400 ms at 300 rpm), so the bar moves
// well within a second; elsewhere sixteen track sides, since each request
// is a trip through the driver. Always whole track sides from a side's start.
uint32_t ReadRequestBytes(bool diskette);

// Where byte `offset` lies on a diskette, as a drive names it: cylinder and
// side from 0, sector from 1.
struct DisketteSpot {
    uint32_t cylinder;
    uint32_t side;
    uint32_t sector;
};
DisketteSpot DisketteSpotOf(uint64_t offset);
