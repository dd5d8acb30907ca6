// A medium's own marks: the bytes of it that a write never touches, and
// their digest.
#pragma once

#include <cstdint>

// What a copy knows of the medium it was taken from, beside its device: a
// card reader or a diskette drive names every card or diskette in it alike.
// Only a fingerprint tells one medium from another; a copy with any other
// mark goes back only once the user says the medium is the one.
enum class MediumMark : uint8_t {
    Unknown = 0,      // no medium named: such a copy fits no medium
    Fingerprint = 1,  // `fingerprint` holds the SHA-256 of sampled bytes no write touches
    NoneToTake = 2,   // the medium is the image's size (a diskette): nothing is left untouched
    Blank = 3,        // the untouched bytes are all one value (`fingerprint[0]`): a fresh card names nothing
    Untold = 4,       // the medium's length, or its untouched bytes, could not be had
};
constexpr uint8_t kLastMediumMark = uint8_t(MediumMark::Untold);

// The SHA-256 of `size` bytes; false when no digest was had.
using KeptHash = bool (*)(const uint8_t* data, uint32_t size, uint8_t digest[32]);

// Pieces of a medium that no write touches, spread from the image's end to
// the medium's end, never the last 4 KiB (where an old backup GPT header is
// cleared and put back): files anywhere on a card change some of them.
// At most kMaxUntouchedSize bytes in all, each piece whole sectors of any
// size a drive has. Count 0: the medium has none.
constexpr unsigned kUntouchedPieces = 16;
constexpr uint32_t kUntouchedPieceSize = 64 * 1024;
constexpr uint32_t kMaxUntouchedSize = kUntouchedPieces * kUntouchedPieceSize;
struct UntouchedSamples {
    uint64_t offsets[kUntouchedPieces];
    uint32_t sizes[kUntouchedPieces];
    unsigned count;
    uint32_t total;
};
UntouchedSamples UntouchedSamplesOf(uint64_t mediumLength);

// The mark of the sampled bytes (`size` of them, read whole): their digest in
// `fingerprint`, or Blank when they are all one value. Untold when no digest
// was had.
MediumMark MarkOfSamples(const uint8_t* bytes, uint32_t size, KeptHash hash, uint8_t (&fingerprint)[32]);
