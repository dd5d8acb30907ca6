#include "write/medium_mark.h"

#include <algorithm>

#include "write/write_loop.h"

UntouchedSpan UntouchedSpanOf(uint64_t mediumLength) {
    constexpr uint64_t kLargestSector = 4096;
    const uint64_t whole = mediumLength - mediumLength % kLargestSector;
    if (whole < kWriteImageSize + 2 * kLargestSector)
        return UntouchedSpan{kWriteImageSize, 0};
    const uint64_t end = whole - kLargestSector;
    return UntouchedSpan{kWriteImageSize, uint32_t(std::min<uint64_t>(end - kWriteImageSize, kMaxUntouchedSize))};
}
