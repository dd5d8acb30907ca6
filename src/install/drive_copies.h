// What a drive held before the image was written over it, kept in the
// user's local application data, offered back on the Install pane and
// written back by Put back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "install/kept_copy.h"
#include "install/target_identity.h"

// Whether `drive`'s device has a kept copy, and whether its first sector is
// still the image's. Reads the drive: never on the UI thread.
KeptOffer SurveyKeptCopy(const TargetIdentity& drive);

// True when `drive`'s device has a kept copy already: the first contents
// are the ones kept, so nothing is read before writing it again.
bool HasKeptCopy(const TargetIdentity& drive);

// What the raw write hands over before its first byte, and what came of it.
struct KeepRequest {
    const TargetIdentity* chosen;
    const uint8_t* image;        // what is about to be written
    const uint8_t* imageSha256;  // its 32-byte digest when known already, else null
    bool kept;                   // a copy was kept (or the device had one)
};

// The raw write's KeepBeforeWrite call: keeps what the drive holds, with
// the image's and its own SHA-256, before anything is written.
void KeepDriveContents(void* request, const uint8_t* kept, uint64_t tailOffset, const uint8_t* tail,
                       uint32_t tailSize);

// A copy loaded for Put back, in page-aligned memory of its own.
struct PutBackCopy {
    KeptCopyHeader header;
    char name[kKeptNameCapacity];
    uint8_t* kept;  // kWriteImageSize bytes
    uint8_t* tail;  // kMaxKeptTailSize bytes
};

// Loads the copy kept from `chosen`'s device and checks it against its own
// SHA-256; false when there is none, or it is damaged.
bool LoadPutBackCopy(const TargetIdentity& chosen, PutBackCopy* copy);
void FreePutBackCopy(PutBackCopy* copy);

// Deletes the copy once the drive holds it again.
void RemovePutBackCopy(const PutBackCopy& copy);

// The moment a copy was kept, in the user's short date and time format.
void FormatKeptDate(uint64_t keptAt, char* text, size_t capacity);
