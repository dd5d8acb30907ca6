// A drive's disk told in words: its letters, its size, a medium too small
// for the image, and the question asked before a disk that calls itself
// fixed is written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "write/target_identity.h"

// "E:", "E: and F:", "E:, F: and G:" for "E", "EF", "EFG", in the current language.
void JoinDriveLetters(const char* letters, char* text, size_t capacity);

// The line that refuses a medium shorter than the image (malloc'ed; null
// without memory): the 720 KB diskette's when `mediaType` says so, else the
// medium's length against the image's. `drive` is "E:".
char* MediumTooSmallText(const char* drive, uint64_t length, uint32_t mediaType);

// The question before a disk that calls itself fixed is written, naming its
// vendor, product, size and every letter on it (malloc'ed; null without memory).
char* FixedDiskQuestion(const TargetIdentity& disk);
