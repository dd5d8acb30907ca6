// What a drive held before the image was written over it, kept in the
// program's folder of the computer's application data, offered back on the
// Install pane and written back by Put back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "keep/kept_copy.h"
#include "keep/keep_step.h"
#include "write/target_identity.h"

// Whether the medium in `drive` has a kept copy, whether its first sector
// is still the image's, and whether a write to it was cut short. Reads the
// drive: never on the UI thread.
KeptOffer SurveyKeptCopy(const TargetIdentity& drive);

// The keep step of a write (or, with `putBack`, a Put back) of `image` on
// `chosen`, on the copies' folder of this computer.
KeepRequest Win32KeepRequest(const TargetIdentity* chosen, const uint8_t* image, const uint8_t* imageSha256,
                             const KeptCopyHeader* putBack);

// A copy loaded for Put back, in page-aligned memory of its own.
struct PutBackCopy {
    KeptCopyHeader header;
    char name[kKeptNameCapacity];
    uint8_t* kept;  // kWriteImageSize bytes
    uint8_t* tail;  // kMaxKeptTailSize bytes
};

enum class PutBackLoad {
    Loaded,
    Missing,  // the file is gone: deleted by the user, or put back already
    Damaged,  // not whole, or not its own SHA-256, or of another device
};

// Loads copy `name` (the one offered for `chosen`'s medium) and checks it
// against its own SHA-256.
PutBackLoad LoadPutBackCopy(const TargetIdentity& chosen, const char* name, PutBackCopy* copy);
void FreePutBackCopy(PutBackCopy* copy);

// Deletes the copy once the drive holds it again; false when it stays.
bool RemovePutBackCopy(const PutBackCopy& copy);

// The moment a copy was kept, in the user's short date and time format.
void FormatKeptDate(uint64_t keptAt, char* text, size_t capacity);
