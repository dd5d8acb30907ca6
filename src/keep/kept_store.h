// The folder that holds the kept copies, reached through a table of file
// calls: the program passes the real ones, the tests a model that can fail
// at any step. A copy is written under a temporary name, flushed, then
// renamed, so that only a whole copy ever carries a copy's name.
#pragma once

#include <cstdint>

#include "keep/kept_copy.h"
#include "keep/medium_mix.h"

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
    // Writes `size` bytes at `offset` of an existing file, in place, and
    // flushes them.
    uint32_t (*update)(void* context, const char* name, uint64_t offset, const uint8_t* data, uint32_t size);
    void* context;
};

struct KeptCopyFound {
    bool found;
    char name[kKeptNameCapacity];
    KeptCopyHeader header;
};

// At most this many of the oldest copies go after one write: the Install
// pane names each before Start.
constexpr unsigned kMaxLetGo = 4;
static_assert(kMaxLetGo == sizeof(KeptOffer::goingLetter), "the offer names every copy that goes");

// What the folder holds for the medium that `medium` describes (its device,
// mark and fingerprint).
struct KeptSurvey {
    KeptCopyFound copy;    // the newest copy that may be its
    unsigned candidates;   // copies that may be its
    KeptCopyFound record;  // the newest record of a write to it that never ended
    unsigned copies;       // whole copies in the folder
    KeptCopyFound oldest;  // the copy kept first of all
    // With the drive's bytes: a write would keep a new copy of them, by the
    // keep's own rule, and once read back let these copies go.
    bool keepsNew;
    unsigned goingCount;
    KeptCopyFound going[kMaxLetGo];
};
// With `drive` (kWriteImageSize bytes the drive holds now) and `hash`, also
// says whether a write keeps a new copy and which copies that lets go; with
// `tidy` as well (no write runs, whose keep may be writing a part now), it
// first keeps as copies the whole, flushed copies that a rename never named
// (".part" files whose own SHA-256 checks out) and lets other parts go.
KeptSurvey SurveyKeptFolder(const KeptFiles& files, const KeptCopyHeader& medium, const uint8_t* drive = nullptr,
                            KeptHash hash = nullptr, bool tidy = false);

// The newest whole copy of the medium that `medium` describes, if any.
KeptCopyFound FindKeptCopy(const KeptFiles& files, const KeptCopyHeader& medium);

// The whole copies that may be the medium's, the newest first (the one
// FindKeptCopy finds), at most `capacity` of them; returns how many.
unsigned FindKeptCopies(const KeptFiles& files, const KeptCopyHeader& medium, KeptCopyFound* found,
                        unsigned capacity);

enum class KeepOutcome {
    Kept,        // written, flushed and named
    OwnImage,    // the medium holds the image its copy records as written and read back: that copy stays
    NothingNew,  // every chunk is the copy's or an image's (a write cut short, the same image again)
    NotKept,     // the folder would not take it; nothing of it is left
};

struct KeepResult {
    KeepOutcome outcome;
    uint32_t error;  // NotKept: the file call's error, 0 when none failed
    char name[kKeptNameCapacity];
};

// Keeps `kept` (kWriteImageSize bytes, whose SHA-256 is header.keptSha256)
// and `tail` (header.tailSize bytes) with `header`, before `image` is
// written. When the medium already has a copy and the drive holds nothing
// of anyone's beside it (the image that copy records as read back, or only
// chunks of the copy, of `image` and of the image a write cut short
// began), nothing new is kept. No copy goes here: only a write read back
// lets the oldest go (EndWrite).
KeepResult KeepCopy(const KeptFiles& files, const KeptCopyHeader& header, const uint8_t* kept, const uint8_t* tail,
                    const uint8_t* image, KeptHash hash);

// Records, flushed and whole, that a write to the medium `medium` describes
// begins; `medium` names the image written (imageSha256, firstSectorSha256)
// and `digests` its chunks and the drive's as the write found them. `name` gets the record's name. False when the
// folder would not take it.
bool RecordWriteBegun(const KeptFiles& files, const KeptCopyHeader& medium, const WriteDigests& digests,
                      char (&name)[kKeptNameCapacity]);

// With `proven` (the image was read back identical) the medium holds a
// whole write again: its records go, its newest copy records `medium`'s
// image as the one on the drive, and with `keptNew` (the copy this write
// kept) the oldest copies past kMaxKeptCopies go, at most kMaxLetGo.
// Without it nothing changes: the record tells the next start that the
// drive may hold part of the image. Put back (`putBack`) wrote someone's
// bytes back, not an image: only its records go, and no copy takes those
// bytes for its own (the copy chosen may not be the newest).
void EndWrite(const KeptFiles& files, const KeptCopyHeader& medium, bool proven, const char* keptNew = "",
              bool putBack = false);

// A write that never changed a byte: its record `name` goes.
void DropWriteRecord(const KeptFiles& files, const char* name);

// The newest record of a write to `medium` that never ended, if any.
KeptCopyFound FindWriteRecord(const KeptFiles& files, const KeptCopyHeader& medium);

// The digests of the chunks of the image that record `name` began to write,
// and of what the drive held then; false when it has none.
bool LoadRecordDigests(const KeptFiles& files, const char* name, WriteDigests* digests);

// Reads copy `name` into `kept` (kWriteImageSize bytes) and `tail`
// (kMaxKeptTailSize bytes) and checks it against its own hash; false when
// it is damaged or not a copy, which must then never be put back.
bool LoadKeptCopy(const KeptFiles& files, const char* name, KeptHash hash, KeptCopyHeader* header, uint8_t* kept,
                  uint8_t* tail);

bool RemoveKeptCopy(const KeptFiles& files, const char* name);
