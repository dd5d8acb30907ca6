#include "keep/medium_mix.h"

#include <cstring>

bool DigestChunks(const uint8_t* image, KeptHash hash, ChunkDigests* digests) {
    for (uint32_t i = 0; i < kWriteChunkCount; ++i)
        if (!hash(image + i * kWriteChunkSize, kWriteChunkSize, digests->chunk[i]))
            return false;
    return true;
}

bool IsMixOf(const uint8_t* drive, const uint8_t* kept, const uint8_t* image, const ChunkDigests* digests,
             KeptHash hash) {
    if (drive == nullptr)
        return false;
    for (uint32_t i = 0; i < kWriteChunkCount; ++i) {
        const uint8_t* chunk = drive + i * kWriteChunkSize;
        if (kept != nullptr && memcmp(chunk, kept + i * kWriteChunkSize, kWriteChunkSize) == 0)
            continue;
        if (image != nullptr && memcmp(chunk, image + i * kWriteChunkSize, kWriteChunkSize) == 0)
            continue;
        uint8_t digest[32];
        if (digests != nullptr && hash(chunk, kWriteChunkSize, digest) &&
            memcmp(digest, digests->chunk[i], sizeof(digest)) == 0)
            continue;
        return false;
    }
    return true;
}

bool IsAllOf(const uint8_t* drive, const uint8_t* image) {
    return drive != nullptr && image != nullptr && memcmp(drive, image, kWriteImageSize) == 0;
}
