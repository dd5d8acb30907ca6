// The passes a write or Put back makes over the drive, and where each one
// puts the progress bar, so that the bar covers the whole job and not only
// its writing.
#pragma once

#include <cstdint>

enum class WritePass : uint8_t {
    Format,    // an unformatted diskette formatted first
    Keep,      // what the drive holds read: kept, or for Put back checked
    Write,     // the image (or the kept copy) written
    ReadBack,  // read back and compared
};

// Told as each pass begins, and after every request of it: `done` of `size`
// bytes. Either call may be null.
struct PassProgress {
    void (*begins)(void* context, WritePass pass);
    void (*report)(void* context, WritePass pass, uint32_t done, uint32_t size);
    void* context;
};

// A set of passes: one bit a pass.
using PassSet = uint8_t;
constexpr PassSet PassBit(WritePass pass) {
    return static_cast<PassSet>(1u << static_cast<unsigned>(pass));
}
// What every write and Put back makes; formatting is added when it is done.
constexpr PassSet kUsualPasses = PassBit(WritePass::Keep) | PassBit(WritePass::Write) | PassBit(WritePass::ReadBack);

// The range the bar shows `passes` against, and the position of `done` of
// `size` bytes of `pass` in it. Each pass weighs the same (each is a whole
// pass over the medium, and on a diskette costs the same rotations); what
// follows the last pass (the USB restart) keeps a share of its own, so the
// bar is full only once the job is over.
uint32_t PassRange(PassSet passes);
uint32_t PassPosition(PassSet passes, WritePass pass, uint32_t done, uint32_t size);
