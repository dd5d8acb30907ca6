// Which kept copies Put back offers when more than one may be the medium's
// (blank cards in one reader, diskettes in one drive), in what order, and
// what the chooser says of each: the user picks the one to write back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "keep/kept_store.h"
#include "keep/volume_label.h"

struct PutBackCandidate {
    char name[kKeptNameCapacity];
    char letter;                          // the drive it was kept from
    uint64_t keptAt;                      // FILETIME, UTC
    char size[16];                        // the medium's size as it is sold ("32 GB"); "" when not known
    char label[kVolumeLabelSize + 1];     // the volume label it held, OEM code page; "" when none
};

struct PutBackChoice {
    unsigned count;
    PutBackCandidate rows[kMaxKeptCopies];  // the newest first: the one offered when there is one
};

// The copies that may be the medium `medium` describes, the newest first.
// Only with more than one does Put back ask which.
void ListPutBackChoice(const KeptFiles& files, const KeptCopyHeader& medium, PutBackChoice* choice);

// A medium of `bytes` as it is sold: "1.44 MB" for a diskette, else whole
// megabytes or gigabytes of 10^6 and 10^9 bytes; "" for 0 (not known).
void MediumSizeText(uint64_t bytes, char* text, size_t capacity);
