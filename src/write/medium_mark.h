// A medium's own marks: the bytes of it that a write never touches, and
// their digest.
#pragma once

#include <cstdint>

// What a copy knows of the medium it was taken from, beside its device: a
// card reader or a diskette drive names every card or diskette in it alike.
enum class MediumMark : uint8_t {
    Unknown = 0,      // a copy kept before media were told apart
    Fingerprint = 1,  // `fingerprint` holds the SHA-256 of bytes no write touches
    NoneToTake = 2,   // the medium is the image's size (a diskette): nothing is left untouched
};

// Bytes of a medium that no write touches: from the image's end, 1 MiB at
// most, never the last 4 KiB (where an old backup GPT header is cleared and
// put back). Size 0: the medium has none.
struct UntouchedSpan {
    uint64_t offset;
    uint32_t size;
};
constexpr uint32_t kMaxUntouchedSize = 1 << 20;
UntouchedSpan UntouchedSpanOf(uint64_t mediumLength);

// The SHA-256 of `size` bytes; false when no digest was had.
using KeptHash = bool (*)(const uint8_t* data, uint32_t size, uint8_t digest[32]);
