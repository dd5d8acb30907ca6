// The step every write takes once the drive is locked and before its first
// byte: what the drive holds is kept (unless it is the image that the
// medium's own copy says was last written), or, for Put back, the medium is
// checked to be the one the copy was taken from; then a record that the
// write began is left beside the copies until the image is read back.
#pragma once

#include <cstdint>

#include "keep/kept_store.h"
#include "write/raw_write.h"

struct KeepRequest {
    const KeptFiles* files;
    KeptHash hash;
    uint64_t startedAt;               // FILETIME, UTC: the copy's and the record's time
    void (*note)(const char* line);   // one English line for the console trace
    const TargetIdentity* chosen;
    const uint8_t* image;             // what is about to be written
    const uint8_t* imageSha256;       // its 32-byte digest when known already, else null
    // Put back: the copy going back, whose medium must be the one in the
    // drive; nothing is kept then. Null for a write of the image.
    const KeptCopyHeader* putBack;
    // What came of it.
    bool kept;              // a copy was kept, or the drive held our own image
    KeptCopyHeader medium;  // the medium as the write found it
    bool recorded;          // the record that the write began is there
};

// The raw write's KeepBeforeWrite for `request`.
KeepBeforeWrite KeepingFor(KeepRequest* request);
