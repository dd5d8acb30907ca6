// The status line that tells how a write failed: the failure's own text,
// whether part of the image may now be on the drive, and the Windows error
// by its number and Windows' own words.
#pragma once

#include "write/raw_write.h"

// Logs the Error line of a failed write or Put back; `drive` is "E:".
// `copyKept`: what the drive held is kept, for Put back to return.
void LogWriteFailure(const RawWriteResult& result, const char* drive, bool copyKept = false);
