#include "write/pass_progress.h"

#include "write/write_loop.h"

namespace {

// Each pass counts as the image's bytes; the restart keeps the share it
// has always had beside the writing.
constexpr uint32_t kPassWeight = kWriteImageSize;
constexpr uint32_t kAfterPasses = kWriteProgressRange - kWriteImageSize;

// How many of `passes` come before the pass numbered `below`.
unsigned PassesBelow(PassSet passes, unsigned below) {
    unsigned count = 0;
    for (unsigned bit = 0; bit < below && bit < 8; ++bit)
        count += (passes >> bit) & 1u;
    return count;
}

}  // namespace

uint32_t PassRange(PassSet passes) {
    return PassesBelow(passes, 8) * kPassWeight + kAfterPasses;
}

uint32_t PassPosition(PassSet passes, WritePass pass, uint32_t done, uint32_t size) {
    // A pass the set lacks is placed where it would stand; never past the range.
    const uint32_t start = PassesBelow(passes, static_cast<unsigned>(pass)) * kPassWeight;
    const uint32_t within = size == 0 || done >= size ? kPassWeight : uint32_t(uint64_t(done) * kPassWeight / size);
    const uint32_t position = start + within;
    const uint32_t last = PassRange(passes) - kAfterPasses;
    return position < last ? position : last;
}
