// A read or write that failed, tried once more, and when it fails again
// told apart: a bad spot on the medium, where the drive still answers at its
// first track, or a drive that went or stopped answering altogether.
#pragma once

#include <cstdint>

// Whole transfers at an absolute offset; each returns the Win32 error, 0
// when every byte went.
struct SpotTransfers {
    uint32_t (*read)(void* context, uint64_t offset, uint8_t* data, uint32_t size);
    uint32_t (*write)(void* context, uint64_t offset, const uint8_t* data, uint32_t size);
    void* context;
};

enum class SpotVerdict {
    Recovered,  // the second try went through
    BadSpot,    // failed again, while the drive reads elsewhere: `offset` names the first sector that fails
    Failed,     // failed again, and the drive does not answer at its first track either: `error` says why
};

struct SpotResult {
    SpotVerdict verdict;
    uint64_t offset;  // BadSpot: the first sector that failed on its own (the request's start when none did)
    uint32_t error;   // the error the transfer failed with
};

// True when `error` may be a spot of the medium (a CRC error, a sector not
// found, a read or write fault) or a drive gone, which a second try and a
// read elsewhere tell apart; false for refusals that no try changes
// (protected, denied, full, invalid).
bool MayBeBadSpot(uint32_t error);

// The transfer of `size` bytes at `offset` (into `readInto`, or from
// `writeFrom` when it is not null) failed with `error`: tries it once more,
// then reads the first track side (the one after the request when the
// request holds it) into `scratch` (one track side, sector-aligned) and,
// when that answers, goes sector by sector to the first that fails.
SpotResult RetryTransfer(const SpotTransfers& transfers, uint64_t offset, uint32_t size, uint8_t* readInto,
                         const uint8_t* writeFrom, uint32_t sectorSize, uint32_t error, uint8_t* scratch);
