// What a Windows error means for a write, and the status text that says it.
// One table serves every call of the write: a pulled stick, a failing medium
// and a refused access each get their own words, whether the volumes were
// locked or not.
#pragma once

#include <cstdint>

#include "write/write_outcome.h"

// When the failed call came.
enum class WriteStage {
    BeforeWrite,      // opening and asking the device: nothing is written yet
    Writing,          // a chunk, the flush or a sector past the image, volumes locked
    WritingUnlocked,  // the same with a volume dismounted but never locked
    ReadingBack,      // the image written, read back to be compared
};

// The outcome `error` stands for at `stage`; errors the table does not name
// are the stage's own failure (cannot open, cannot write, not kept).
RawWriteOutcome OutcomeOfError(uint32_t error, WriteStage stage);

// How a status line of a failed write takes its arguments: the drive, none,
// the text's own number, the drive and the medium's size, or the drive and
// where on the medium.
enum class FailureArgument { Drive, None, OwnNumber, Medium, Spot };

struct FailureText {
    int id;  // the status text; 0 for Written
    FailureArgument argument;
    // The text itself says what the drive now holds; otherwise the line
    // goes on to say whether part of the image may be on it.
    bool tellsDrive;
};

// The status text of each outcome. TooSmall takes the text of a 720 KB
// diskette when `mediaType` says it is one.
FailureText FailureTextOf(RawWriteOutcome outcome, uint32_t mediaType = 0);
