// The folder that holds the kept copies, reached through a table of file
// calls: the program passes the real ones, the tests a model that can fail
// at any step. A copy is written under a temporary name, flushed, then
// renamed, so that only a whole copy ever carries a copy's name.
#pragma once

#include <cstdint>

#include "install/kept_copy.h"

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
    uint32_t (*remove)(void* context, const char* name);
    void* context;
};

using KeptHash = void (*)(const uint8_t* data, uint32_t size, uint8_t digest[32]);

struct KeptCopyFound {
    bool found;
    char name[kKeptNameCapacity];
    KeptCopyHeader header;
};

// The oldest whole copy kept from `device`, if any.
KeptCopyFound FindKeptCopy(const KeptFiles& files, const KeptDevice& device);

enum class KeepOutcome {
    Kept,         // written, flushed and named
    AlreadyKept,  // the device has a copy already: the first contents are the ones kept
    NotKept,      // the folder would not take it; nothing of it is left
};

// Keeps `kept` (kWriteImageSize bytes) and `tail` (header.tailSize bytes)
// with `header`, unless the device already has a copy; then lets the oldest
// copies go until kMaxKeptCopies are left. `name` gets the copy's name.
KeepOutcome KeepCopy(const KeptFiles& files, const KeptCopyHeader& header, const uint8_t* kept, const uint8_t* tail,
                     char (&name)[kKeptNameCapacity]);

// Reads copy `name` into `kept` (kWriteImageSize bytes) and `tail`
// (kMaxKeptTailSize bytes) and checks it against its own hash; false when
// it is damaged or not a copy, which must then never be put back.
bool LoadKeptCopy(const KeptFiles& files, const char* name, KeptHash hash, KeptCopyHeader* header, uint8_t* kept,
                  uint8_t* tail);

bool RemoveKeptCopy(const KeptFiles& files, const char* name);
