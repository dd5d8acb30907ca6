// What a write asks before it goes on without a copy of what the drive
// holds, and Put back before it overwrites what was saved on the drive since
// the image was written; the answer No is said in the status list.
#pragma once

#include <cstdint>

#include "keep/keep_step.h"

// KeepRequest::ask: a Yes/No box, No the default, on the UI thread. A disk
// that calls itself fixed is never asked about: it is told why nothing is
// written, and the answer is No.
bool AskBeforeWrite(const KeepRequest& request, KeepQuestion question, uint64_t when);

// Asks, on the writing thread, whether the unformatted diskette in drive
// `drive` ("A:") is formatted as a 1.44 MB one first; No is the default.
bool AskToFormat(const char* drive);
