// The folder that holds the kept copies, reached through a table of file
// calls: the program passes the real ones, the tests a model that can fail
// at any step. A copy is written under a temporary name, flushed, then
// renamed, so that only a whole copy ever carries a copy's name.
#pragma once

#include <cstdint>

#include "keep/kept_copy.h"

struct KeptFiles {
    // Calls `each` with the name of every file in the folder.
    uint32_t (*list)(void* context, void (*each)(void* user, const char* name), void* user);
    uint32_t (*length)(void* context, const char* name, uint64_t* length);
    // Reads `size` bytes at `offset`; `done` gets how many came.
    uint32_t (*read)(void* context, const char* name, uint64_t offset, uint8_t* data, uint32_t size, uint32_t* done);
    // Makes a new file of the `count` parts in order and flushes it to the
    // disk; never replaces a file. Leaves no file behind when it fails.
    uint32_t (*create)(void* context, const char* name, const uint8_t* const* parts, const uint32_t* sizes,
                       unsigned count);
    // Renames within the folder, never over an existing file; flushed.
    uint32_t (*rename)(void* context, const char* from, const char* to);
    // Renames within the folder over `to` in one step; flushed.
    uint32_t (*replace)(void* context, const char* from, const char* to);
    uint32_t (*remove)(void* context, const char* name);
    void* context;
};

struct KeptCopyFound {
    bool found;
    char name[kKeptNameCapacity];
    KeptCopyHeader header;
};

// The newest whole copy of the medium that `medium` describes (its device,
// mark and fingerprint), if any.
KeptCopyFound FindKeptCopy(const KeptFiles& files, const KeptCopyHeader& medium);

enum class KeepOutcome {
    Kept,      // written, flushed and named
    OwnImage,  // the medium holds the image its copy records as last written: that copy stays
    NotKept,   // the folder would not take it; nothing of it is left
};

// Keeps `kept` (kWriteImageSize bytes, whose SHA-256 is header.keptSha256)
// and `tail` (header.tailSize bytes) with `header`. When they are the image
// that the medium's copy records as last written, the drive holds our own
// image: nothing new is kept, and the copy's record of the image on the
// drive becomes header's, in one step. Then lets the oldest copies go until
// kMaxKeptCopies are left. `name` gets the copy's name.
KeepOutcome KeepCopy(const KeptFiles& files, const KeptCopyHeader& header, const uint8_t* kept, const uint8_t* tail,
                     char (&name)[kKeptNameCapacity]);

// Records, flushed and whole, that a write to the medium `medium` describes
// begins; `name` gets the record's name. False when the folder would not
// take it.
bool RecordWriteBegun(const KeptFiles& files, const KeptCopyHeader& medium, char (&name)[kKeptNameCapacity]);

// The medium holds a whole write again: its records go.
void EndWriteRecords(const KeptFiles& files, const KeptCopyHeader& medium);

// The newest record of a write to `medium` that never ended, if any.
KeptCopyFound FindWriteRecord(const KeptFiles& files, const KeptCopyHeader& medium);

// Reads copy `name` into `kept` (kWriteImageSize bytes) and `tail`
// (kMaxKeptTailSize bytes) and checks it against its own hash; false when
// it is damaged or not a copy, which must then never be put back.
bool LoadKeptCopy(const KeptFiles& files, const char* name, KeptHash hash, KeptCopyHeader* header, uint8_t* kept,
                  uint8_t* tail);

bool RemoveKeptCopy(const KeptFiles& files, const char* name);
