#include "write/medium_mark.h"

#include <cstring>

#include "write/write_loop.h"

UntouchedSamples UntouchedSamplesOf(uint64_t mediumLength) {
    constexpr uint64_t kLargestSector = 4096;
    UntouchedSamples samples{};
    const uint64_t whole = mediumLength - mediumLength % kLargestSector;
    if (whole < kWriteImageSize + 2 * kLargestSector)
        return samples;
    const uint64_t start = kWriteImageSize;
    const uint64_t span = whole - kLargestSector - start;
    if (span <= kMaxUntouchedSize) {
        // Small enough to read whole, piece after piece.
        for (uint64_t at = 0; at < span; at += kUntouchedPieceSize) {
            const uint64_t size = span - at < kUntouchedPieceSize ? span - at : kUntouchedPieceSize;
            samples.offsets[samples.count] = start + at;
            samples.sizes[samples.count++] = uint32_t(size);
            samples.total += uint32_t(size);
        }
        return samples;
    }
    // Evenly spaced, the first at the image's end and the last ending at
    // most 4 KiB before the medium's.
    const uint64_t step = ((span - kUntouchedPieceSize) / (kUntouchedPieces - 1)) & ~(kLargestSector - 1);
    for (unsigned i = 0; i < kUntouchedPieces; ++i) {
        samples.offsets[i] = start + i * step;
        samples.sizes[i] = kUntouchedPieceSize;
    }
    samples.count = kUntouchedPieces;
    samples.total = kMaxUntouchedSize;
    return samples;
}

MediumMark MarkOfSamples(const uint8_t* bytes, uint32_t size, KeptHash hash, uint8_t (&fingerprint)[32]) {
    memset(fingerprint, 0, sizeof(fingerprint));
    if (bytes == nullptr || size == 0)
        return MediumMark::Untold;
    // All one value (a fresh card's zeros, an erased chip's 0xFF) is the same
    // on every such card: it must never pass for one of them.
    if (memcmp(bytes, bytes + 1, size - 1) == 0) {
        fingerprint[0] = bytes[0];
        return MediumMark::Blank;
    }
    return hash(bytes, size, fingerprint) ? MediumMark::Fingerprint : MediumMark::Untold;
}
