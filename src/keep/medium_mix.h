// Whether what a drive holds is only what this program put there and what
// it kept of it: a write cut short leaves chunks of the image beside the old
// bytes, and neither is anyone's new data.
#pragma once

#include <cstdint>

#include "write/medium_mark.h"
#include "write/write_loop.h"

// The SHA-256 of each chunk of an image.
struct ChunkDigests {
    uint8_t chunk[kWriteChunkCount][32];
};

// Fills `digests` with those of `image`'s chunks; false when one was not had.
bool DigestChunks(const uint8_t* image, KeptHash hash, ChunkDigests* digests);

// True when every chunk of `drive` is the same chunk of `kept` or of `image`,
// or has its digest in `digests`; any of the three may be null.
bool IsMixOf(const uint8_t* drive, const uint8_t* kept, const uint8_t* image, const ChunkDigests* digests,
             KeptHash hash);

// True when every chunk of `drive` is the same chunk of `image`.
bool IsAllOf(const uint8_t* drive, const uint8_t* image);
