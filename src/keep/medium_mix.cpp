#include "keep/medium_mix.h"

#include <cstring>

namespace {

// Eight bytes at a time, each folded in by a multiply and a rotation, then
// mixed once more at the end (the finaliser of SplitMix64): every input bit
// reaches every output bit, at the speed of memory.
uint64_t ChunkDigest(const uint8_t* chunk) {
    constexpr uint64_t kPrime = 0x9E3779B97F4A7C15ull;
    uint64_t digest = kWriteChunkSize;
    for (uint32_t i = 0; i < kWriteChunkSize; i += 8) {
        uint64_t word;
        memcpy(&word, chunk + i, sizeof(word));
        digest = (digest ^ (word * kPrime));
        digest = ((digest << 31) | (digest >> 33)) * 0xBF58476D1CE4E5B9ull;
    }
    digest = (digest ^ (digest >> 30)) * 0xBF58476D1CE4E5B9ull;
    digest = (digest ^ (digest >> 27)) * 0x94D049BB133111EBull;
    return digest ^ (digest >> 31);
}

}  // namespace

void DigestChunks(const uint8_t* image, ChunkDigests* digests) {
    for (uint32_t i = 0; i < kWriteChunkCount; ++i)
        digests->chunk[i] = ChunkDigest(image + i * kWriteChunkSize);
}

bool IsMixOf(const uint8_t* drive, const uint8_t* kept, const uint8_t* image, const WriteDigests* digests) {
    if (drive == nullptr)
        return false;
    for (uint32_t i = 0; i < kWriteChunkCount; ++i) {
        const uint8_t* chunk = drive + i * kWriteChunkSize;
        if (kept != nullptr && memcmp(chunk, kept + i * kWriteChunkSize, kWriteChunkSize) == 0)
            continue;
        if (image != nullptr && memcmp(chunk, image + i * kWriteChunkSize, kWriteChunkSize) == 0)
            continue;
        if (digests != nullptr) {
            const uint64_t digest = ChunkDigest(chunk);
            if (digest == digests->image.chunk[i] || digest == digests->before.chunk[i])
                continue;
        }
        return false;
    }
    return true;
}

bool IsAllOf(const uint8_t* drive, const uint8_t* image) {
    return drive != nullptr && image != nullptr && memcmp(drive, image, kWriteImageSize) == 0;
}
