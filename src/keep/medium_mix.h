// Whether what a drive holds is only what this program put there and what
// it kept of it: a write cut short leaves chunks of the image beside the old
// bytes, and neither is anyone's new data.
#pragma once

#include <cstdint>

#include "write/write_loop.h"

// A 64-bit digest of each chunk of an image. It tells the image's chunks
// from others on the same drive, where only chance could make two agree;
// what must resist a forger (a copy's own bytes) is checked by SHA-256.
struct ChunkDigests {
    uint64_t chunk[kWriteChunkCount];
};

void DigestChunks(const uint8_t* image, ChunkDigests* digests);

// What a record of a write keeps of it: the chunks of the image it writes,
// and of what the drive held as the write found it. A write cut short
// leaves only chunks of the two.
struct WriteDigests {
    ChunkDigests image;
    ChunkDigests before;
};

// True when every chunk of `drive` is the same chunk of `kept` or of `image`,
// or has its digest in `digests`; any of the three may be null.
bool IsMixOf(const uint8_t* drive, const uint8_t* kept, const uint8_t* image, const WriteDigests* digests);

// True when every chunk of `drive` is the same chunk of `image`.
bool IsAllOf(const uint8_t* drive, const uint8_t* image);
