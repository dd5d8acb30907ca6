// Which device a drive letter leads to: the volume Windows names for it and
// the disk that volume lies on, with every other volume and letter of that
// disk, since a raw write from the disk's first byte takes them all.
#pragma once

#include <cstdint>

#include "write/disk_answers.h"
#include "write/disk_descriptor.h"
#include "write/storage_calls.h"
#include "write/write_target.h"

// "\\?\Volume{GUID}\" is 49 characters.
constexpr unsigned kVolumeNameCapacity = 64;
// Volumes of one disk that can be held for a write; a disk with more is
// refused as in use.
constexpr unsigned kMaxDiskVolumes = 32;

struct VolumeName {
    char text[kVolumeNameCapacity];
};

// What the disk written through \\.\PhysicalDriveN says about itself; asked
// of that disk only.
struct DiskFacts {
    bool harddiskObject;       // \\.\PhysicalDriveN leads to a \Device\HarddiskN object
    bool systemVolumesKnown;   // Windows named at least the Windows folder's volume
    bool carriesSystem;        // a Windows, boot or page-file volume lies on the disk
    uint64_t length;           // bytes, from the disk's geometry; 0 when not answered
    HotplugFacts hotplug;      // whether Windows says it can be pulled out
};

// Why a drive may not be written; None when it may.
enum class DiskRefusal {
    None,
    FixedDevice,     // the device says neither removable media nor a USB, SD or MMC bus
    NoDescriptor,    // the disk did not say what it is
    NotHarddisk,     // \\.\PhysicalDriveN leads to something other than a disk object
    SystemUnknown,   // which volumes Windows needs could not be learnt
    CarriesSystem,   // the disk holds a volume Windows needs
    ExternalDisk,    // a fixed disk on USB, SD or MMC larger than a stick (or of no known size)
    BuiltIn,         // a fixed disk on USB, SD or MMC that Windows does not call hot-pluggable (an eMMC)
    LargeSectors,    // sectors that the track-sized chunks do not fit (4,096 bytes, ...)
};

// A fixed disk on USB, SD or MMC up to this size is a stick or card that
// calls itself fixed; a larger one is an external hard disk.
constexpr uint64_t kFixedStickMaxBytes = uint64_t(256) << 30;

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
    // The device's descriptor: the disk's when written through the disk,
    // else what the volume passes on from the device under it.
    DiskDescriptor device;
    DiskFacts disk;  // only when written through the disk
    // The logical sector size, asked without access; 0 when not answered.
    uint32_t bytesPerSector;
    // The medium in the drive, asked without access: its length in bytes
    // and its MediaType, each 0 when not answered.
    uint64_t mediumLength;
    uint32_t mediaType;
};

// Asks Windows about drive `letter`. Every handle it opens asks for access 0
// and is closed before it returns.
TargetIdentity IdentifyTarget(const StorageCalls& calls, char letter);

// The descriptor of the device open as `handle`; not answered when it says nothing.
DiskDescriptor AskDeviceDescriptor(const StorageCalls& calls, StorageHandle handle);

// Whether the identified drive may be written at all: only a removable disk
// that carries nothing Windows needs.
DiskRefusal CheckRemovableDisk(const TargetIdentity& identity);

// True when the drive is on a disk that says it is fixed but hangs on USB,
// SD or MMC, can be pulled out (Windows calls the device hot-pluggable or its
// medium removable), is no larger than a stick, and carries nothing Windows needs:
// Windows calls its letters fixed, yet it may be listed and written.
bool IsFixedStick(const TargetIdentity& identity);

// Why a drive may not be written, in English for the trace.
const char* DiskRefusalText(DiskRefusal refusal);

// True when `disk`, a handle opened on `identified`'s disk, still leads to
// that disk: the same number, length and serial. A stick pulled and another
// plugged in may have been given the same number.
bool IsIdentifiedDisk(const StorageCalls& calls, StorageHandle disk, const TargetIdentity& identified);

// True when `now` is the very device that was chosen: the same letter, the
// same volume and the same disk. Where both devices give a serial number the
// disk is known by vendor, product and serial, not by its number, which a
// stick plugged in again may change.
bool IsSameDevice(const TargetIdentity& chosen, const TargetIdentity& now);

// True when both lie on the same disk (by serial number where both give one):
// after a write, the volume Windows finds on it is new, so the disk is what
// still names the device. Without a known disk the volume must match.
bool IsSameDisk(const TargetIdentity& before, const TargetIdentity& now);
