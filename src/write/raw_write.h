// One raw write of the image onto the chosen drive: the device checked to be
// the one chosen, its volumes taken from the file system, the image written,
// every byte read back, and only then Windows told of the new layout.
#pragma once

#include <cstdint>

#include "write/medium_mark.h"
#include "write/pass_progress.h"
#include "write/storage_calls.h"
#include "write/target_identity.h"
#include "write/write_loop.h"
#include "write/write_outcome.h"

// What a write is about to replace, read through the locked handle before
// its first byte.
struct MediumContents {
    const uint8_t* kept;  // kWriteImageSize bytes; null when they could not be read
    uint64_t tailOffset;  // the sector past the image that the write clears; tailSize 0: none
    const uint8_t* tail;
    uint32_t tailSize;
    MediumMark mark;      // Fingerprint: `fingerprint` is the SHA-256 of the medium's untouched bytes
    uint8_t fingerprint[32];
};

// How long a volume's lock is tried for before it is dismounted without one.
constexpr unsigned kRawLockTries = 50;
constexpr unsigned kRawLockPauseMs = 100;  // about 5 s in all

// How a write that was handed its medium ended.
enum class WriteEnd {
    ReadBack,        // the image was read back and differed, or could not be read
    Proven,          // the image was read back identical
    NothingChanged,  // the first chunk was refused whole: not a byte of the drive changed
};

// Told what a write is about to replace, once the device is taken and
// checked and before its first byte is written, so that it can be kept.
struct KeepBeforeWrite {
    // Written: the write goes on. Any other outcome ends it, nothing written.
    RawWriteOutcome (*keep)(void* context, const MediumContents& medium);
    // The write is over in one of the ways above (a write cut short otherwise is never told).
    void (*ended)(void* context, WriteEnd how);
    KeptHash hash;
    void* context;
};

// A sector past the image, written back after it: the old backup GPT header
// that an earlier write cleared.
struct TailSector {
    uint64_t offset;
    const uint8_t* bytes;  // sector-aligned
    uint32_t size;         // 0: none
};

// Asked, on the writing thread, whether a diskette that answers as
// unformatted is formatted as a 1.44 MB one first; null: it never is.
struct FormatOffer {
    bool (*ask)(void* context);
    void* context;
};

struct RawWriteRequest {
    const TargetIdentity* chosen;  // what the user chose
    const uint8_t* image;          // kWriteImageSize bytes, sector-aligned
    uint8_t* readBack;             // kWriteImageSize bytes of its own, sector-aligned
    PassProgress progress;
    unsigned lockTries;
    unsigned lockPauseMs;
    KeepBeforeWrite keep;  // none: nothing is read before the write
    TailSector tail;
    FormatOffer format = {};  // none: an unformatted diskette is refused
};

struct RawWriteResult {
    RawWriteOutcome outcome;
    uint32_t error;          // the error of the call that failed; 0 when none did
    WriteResult write;       // the chunk loop's own result
    uint64_t readBackStop;   // first byte that differed or could not be read; kWriteImageSize when all matched
    bool throughDisk;        // written through \\.\PhysicalDriveN
    bool backupGptLeft;      // an old backup GPT header could not be cleared: Windows may bring its layout back
    bool wroteAny;           // a write reached the device: part of the image may be on it
    uint64_t mediumLength;   // TooSmall: the medium's length in bytes (0: only its type is known)
    uint32_t mediaType;      // TooSmall: the medium's MediaType
    bool diskette;           // the medium turns as a diskette: a spot is named by cylinder, side and sector
    uint64_t badSpot;        // BadSpot: the first sector that failed twice
};

RawWriteResult RunRawWrite(const StorageCalls& calls, const RawWriteRequest& request);

// Reads the drive's first kWriteImageSize bytes into `bytes` (sector-aligned)
// the way a write reaches them: the device checked to be `chosen`, its
// volumes locked or dismounted, the disk read past the cache. Written when
// all were read (readBackStop is then kWriteImageSize); NotKept when a read
// failed at readBackStop; otherwise the refusal a write would get.
RawWriteResult RunRawRead(const StorageCalls& calls, const TargetIdentity& chosen, uint8_t* bytes);
