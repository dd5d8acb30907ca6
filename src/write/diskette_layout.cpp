#include "write/diskette_layout.h"

#include "write/write_loop.h"

static_assert(kDisketteSideBytes == kWriteChunkSize, "a chunk is one track side");
static_assert(kDisketteCylinders * kDisketteSides * kDisketteSideBytes == kWriteImageSize, "the image fills a diskette");

namespace {

// MEDIA_TYPE: F5_1Pt2_512 (1) to F5_160_512 (10) and F3_640_512 (14) to
// F5_1Pt23_1024 (19) are diskettes; RemovableMedia (11), FixedMedia (12)
// and the 120 MB and larger super-floppies (13, 20 on) turn otherwise.
bool IsFloppyType(uint32_t mediaType) {
    return (mediaType >= 1 && mediaType <= 10) || (mediaType >= 14 && mediaType <= 19);
}

}  // namespace

bool IsDisketteMedium(uint32_t mediaType, uint64_t length) {
    return IsFloppyType(mediaType) || length == kWriteImageSize;
}

uint32_t ReadRequestBytes(bool diskette) {
    return (diskette ? kDisketteSides : 16) * kWriteChunkSize;
}

DisketteSpot DisketteSpotOf(uint64_t offset) {
    const uint64_t sector = offset / 512;
    const uint64_t side = sector / kDisketteSectorsPerSide;
    return DisketteSpot{uint32_t(side / kDisketteSides), uint32_t(side % kDisketteSides),
                        uint32_t(sector % kDisketteSectorsPerSide) + 1};
}
