// The step every write takes once the drive is locked and before its first
// byte: what the drive holds is kept (unless it is only what this program
// wrote over the medium's own copy), or, for Put back, the medium is checked
// to be the one the copy was taken from and to hold nothing saved on it
// since; then a record that the write began is left beside the copies until
// the image is read back.
#pragma once

#include <cstdint>

#include "keep/kept_store.h"
#include "write/raw_write.h"

// What the user is asked before a write goes on.
enum class KeepQuestion {
    NoSpace,        // no copy could be kept: the disk that holds the copies is full
    FolderRefused,  // no copy could be kept: the copies' folder or file was refused
    DriveUnread,    // no copy could be kept: what the drive holds could not be read
    ChangedSince,   // Put back: the medium holds what was saved on it since the write
    NotRecorded,    // that the write begins could not be recorded: cut short, it would not be found again
};

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
    bool kept;              // a copy was kept, or the drive held nothing new beside its copy
    KeptCopyHeader medium;  // the medium as the write found it, and the image written
    bool recorded;          // the record that the write began is there
    char keptNew[kKeptNameCapacity];  // the copy this write kept; "" when it kept none
    // Asks the user, on the writing thread, whether to go on; `when` is the
    // time the question names (the write's, for ChangedSince). Null: No.
    // Asked about a fixed disk, it only tells why nothing is written.
    bool (*ask)(const KeepRequest& request, KeepQuestion question, uint64_t when);
    bool fixedDisk;         // the disk calls itself fixed: never written without a copy
    bool declined;          // the user (or a fixed disk) stopped the write before its first byte
    KeepQuestion why;       // when declined, or written without a copy: why none was kept
    char record[kKeptNameCapacity];
};

// The raw write's KeepBeforeWrite for `request`.
KeepBeforeWrite KeepingFor(KeepRequest* request);
