// Which device a drive letter leads to: the volume Windows names for it and
// the disk that volume lies on, with every other volume and letter of that
// disk, since a raw write from the disk's first byte takes them all.
#pragma once

#include <cstdint>

#include "install/storage_calls.h"
#include "install/write_target.h"

// "\\?\Volume{GUID}\" is 49 characters.
constexpr unsigned kVolumeNameCapacity = 64;
// Volumes of one disk that can be held for a write; a disk with more is
// refused as in use.
constexpr unsigned kMaxDiskVolumes = 32;

struct VolumeName {
    char text[kVolumeNameCapacity];
};

struct TargetIdentity {
    char letter;        // 0: nothing identified
    VolumeName volume;  // "" when Windows names no volume for the letter
    WriteTarget target; // the disk from the volume's extents, and how to write it
    uint32_t queryError;  // why the volume could not be asked (not ready, ...); 0
    // Every volume of the disk (or the letter's alone when the disk is not
    // known), as paths that open the volume; the letter's own comes first.
    VolumeName volumes[kMaxDiskVolumes];
    unsigned volumeCount;
    bool tooManyVolumes;
    char lettersOnDisk[27];  // this letter and every other one on the disk, in order
};

// Asks Windows about drive `letter`. Every handle it opens asks for access 0
// and is closed before it returns.
TargetIdentity IdentifyTarget(const StorageCalls& calls, char letter);

// True when `now` is the very device that was chosen: the same letter, the
// same volume and the same disk.
bool IsSameDevice(const TargetIdentity& chosen, const TargetIdentity& now);

// True when both lie on the same disk: after a write, the volume Windows
// finds on it is new, so the disk is what still names the device. Without a
// known disk the volume must match.
bool IsSameDisk(const TargetIdentity& before, const TargetIdentity& now);
