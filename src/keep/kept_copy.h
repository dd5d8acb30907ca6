// What a drive held where the image goes, kept in a file of its own before
// the drive is written, so that Put back can return the drive as it was. The
// rest of the drive is never touched, so its first 1.44 MB (and the one
// sector past them that a write may clear) is all there is to keep.
#pragma once

#include <cstddef>
#include <cstdint>

#include "write/medium_mark.h"
#include "write/target_identity.h"
#include "write/write_loop.h"

// More copies than this and the oldest goes; the Install pane says so
// before Start.
constexpr unsigned kMaxKeptCopies = 20;
// A sector past the image that a write changes (an old backup GPT header).
constexpr uint32_t kMaxKeptTailSize = 4096;
// The header that opens a copy's file, before the kept bytes.
constexpr uint32_t kKeptHeaderSize = 1024;
// "kept-" 16 hex digits ".tdwcopy", and room for a temporary suffix.
constexpr size_t kKeptNameCapacity = 48;

// What names the device a copy came from, as Windows told it when the copy
// was kept. Texts are "" where Windows gave nothing.
struct KeptDevice {
    char letter;
    char volume[64];  // "\\?\Volume{...}\"
    bool diskKnown;
    uint32_t diskNumber;
    uint64_t diskLength;  // 0: not known
    char vendor[kDeviceTextCapacity];
    char product[kDeviceTextCapacity];
    char serial[kSerialCapacity];
};

// What the write path identified, as a copy records it.
KeptDevice KeptDeviceOf(const TargetIdentity& identity);

struct KeptCopyHeader {
    KeptDevice device;
    MediumMark mark;
    uint8_t fingerprint[32];
    uint64_t keptAt;              // FILETIME, UTC
    uint64_t writtenAt;           // when `imageSha256`'s image was written and read back; 0: none was
    uint8_t keptSha256[32];       // of the kept image-sized bytes
    uint8_t imageSha256[32];      // of the image last written over them and read back; zeros: none was
    // Of the first 512 bytes the drive holds as far as the copy knows: the
    // image read back, or, before that, the kept bytes. Has it changed since?
    uint8_t firstSectorSha256[32];
    uint64_t tailOffset;          // where `tailSize` more kept bytes go back; 0 with no tail
    uint32_t tailSize;
    uint8_t tailSha256[32];       // of the tail's bytes
};

// What the drive list found of a drive's kept copy, off the UI thread.
struct KeptOffer {
    bool found;         // the medium in the drive has a kept copy
    uint64_t keptAt;    // when it was kept (FILETIME, UTC)
    bool changedSince;  // the drive's first sector is neither the image's nor the copy's
    MediumMark mark;    // how the copy knows its medium: without a fingerprint, Put back asks first
    unsigned candidates;  // copies that may be this medium's: more than one, Put back asks which
    uint8_t fingerprint[32];  // the medium's, as its copies are matched to it
    char name[kKeptNameCapacity];
    bool cutShort;      // a write to this medium began and never reached its read-back
    uint64_t cutShortAt;  // when that write began (FILETIME, UTC)
    // Keeping this medium's copy would let these copies go, the oldest
    // first, once the write is read back: their drive letters and when they
    // were kept.
    unsigned goingCount;
    char goingLetter[4];
    uint64_t goingKeptAt[4];
};

// Lays `header` out as kKeptHeaderSize bytes.
void WriteKeptHeader(const KeptCopyHeader& header, uint8_t* out);

// Reads a header from bytes of a file that anyone may have changed; false
// when it is not one, or names a tail the file cannot hold.
bool ReadKeptHeader(const uint8_t* bytes, size_t size, KeptCopyHeader* header);

// The size a copy's file must have.
uint64_t KeptFileSize(const KeptCopyHeader& header);

// True when a copy kept from `kept` may be put back on `now`. Where Windows
// gave a serial number, vendor, product, serial and length name the device;
// otherwise the volume and the disk (or, with no disk known, the volume and
// the letter) must be the same.
bool IsKeptDevice(const KeptDevice& kept, const KeptDevice& now);

// The file name for a copy kept at `keptAt`, with `attempt` making it unique.
void KeptCopyName(uint64_t keptAt, unsigned attempt, char* name, size_t capacity);
bool IsKeptCopyName(const char* name);

// The file name of the record that a write to a medium began; the record is
// a header alone, naming the device and the medium.
void WriteRecordName(uint64_t startedAt, unsigned attempt, char* name, size_t capacity);
bool IsWriteRecordName(const char* name);

// True when a copy or record with `kept` may describe the medium `now` holds
// (both from the same device, as IsKeptDevice tells): the fingerprints are
// the same, or neither medium has one and both are alike (diskettes, blank
// untouched bytes of the same value, a length not known). A copy that
// names no medium fits none.
bool IsKeptMedium(const KeptCopyHeader& kept, const KeptCopyHeader& now);
