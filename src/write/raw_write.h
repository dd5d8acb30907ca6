// One raw write of the image onto the chosen drive: the device checked to be
// the one chosen, its volumes taken from the file system, the image written,
// every byte read back, and only then Windows told of the new layout.
#pragma once

#include <cstdint>

#include "write/medium_mark.h"
#include "write/storage_calls.h"
#include "write/target_identity.h"
#include "write/write_loop.h"

enum class RawWriteOutcome {
    Written,         // written, flushed and read back identical
    Moved,           // the letter leads to another device than the one chosen
    Spanned,         // a volume over several extents
    InUse,           // a volume of the disk could be neither opened, locked nor dismounted
    LargeSectors,    // sectors that the track-sized chunks do not fit
    CannotOpen,      // the device would not open for writing
    WriteProtected,  // the medium refuses writes
    NoMedium,        // an empty drive or card slot
    AccessDenied,    // Windows (or security software) refused the device
    WriteFailed,     // a chunk or the flush failed: part of the image may be on the drive
    NotKept,         // what was read back differs from what was written, or could not be read
    NotRemovable,    // the drive is not on a removable disk, or its disk holds what Windows needs
    TakenBack,       // a volume left unlocked was mounted again mid-write: part of the image is on the drive
    AccessPolicy,    // Windows refused to open a volume for writing: a policy, as a rule
    DriveGone,       // the stick or card went away mid-write: part of the image may be on it
    MediumFailed,    // the medium or its device failed a read or write (a CRC error, ...)
    Sectors4096,     // a medium of 4,096-byte sectors, refused before any access
    NotThisMedium,   // the medium in the drive is not the one meant: nothing was written
};

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

// Told what a write is about to replace, once the device is taken and
// checked and before its first byte is written, so that it can be kept.
struct KeepBeforeWrite {
    // False: nothing is written, for the medium is not the one meant.
    bool (*keep)(void* context, const MediumContents& medium);
    // The image was read back, whatever that found: the write is over.
    void (*readBack)(void* context);
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

struct RawWriteRequest {
    const TargetIdentity* chosen;  // what the user chose
    const uint8_t* image;          // kWriteImageSize bytes, sector-aligned
    uint8_t* readBack;             // kWriteImageSize bytes of its own, sector-aligned
    WriteProgress progress;
    unsigned lockTries;
    unsigned lockPauseMs;
    KeepBeforeWrite keep;  // none: nothing is read before the write
    TailSector tail;
};

struct RawWriteResult {
    RawWriteOutcome outcome;
    uint32_t error;          // the error of the call that failed; 0 when none did
    WriteResult write;       // the chunk loop's own result
    uint64_t readBackStop;   // first byte that differed or could not be read; kWriteImageSize when all matched
    bool throughDisk;        // written through \\.\PhysicalDriveN
};

RawWriteResult RunRawWrite(const StorageCalls& calls, const RawWriteRequest& request);

// Reads the drive's first kWriteImageSize bytes into `bytes` (sector-aligned)
// the way a write reaches them: the device checked to be `chosen`, its
// volumes locked or dismounted, the disk read past the cache. Written when
// all were read (readBackStop is then kWriteImageSize); NotKept when a read
// failed at readBackStop; otherwise the refusal a write would get.
RawWriteResult RunRawRead(const StorageCalls& calls, const TargetIdentity& chosen, uint8_t* bytes);
