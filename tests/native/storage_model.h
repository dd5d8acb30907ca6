// A model of the Windows storage stack behind the storage calls: disks with
// their media, the volumes Windows has mounted on them, and the handles the
// program opens. Each rule it keeps follows Microsoft's documentation; the
// topic is named beside the rule in storage_model.cpp.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "write/storage_calls.h"

// Bytes on whole sectors, as unbuffered reads and writes need them: the heap
// aligns a large vector only where it happens to.
template <class T>
struct SectorAllocator {
    using value_type = T;
    T* allocate(size_t count) { return static_cast<T*>(std::aligned_alloc(4096, (count + 4095) / 4096 * 4096)); }
    void deallocate(T* block, size_t) { std::free(block); }
    bool operator==(const SectorAllocator&) const { return true; }
    bool operator!=(const SectorAllocator&) const { return false; }
};
using SectorBytes = std::vector<uint8_t, SectorAllocator<uint8_t>>;

struct ModelDisk {
    uint32_t number = 0;
    uint32_t sectorSize = 512;  // logical; a 512e disk answers 512 too
    std::vector<uint8_t> medium;  // what the medium keeps
    std::vector<uint8_t> cache;   // what Windows' cache holds of it
    bool present = true;          // false: an empty card slot
    bool writeProtected = false;
    uint32_t refusesWrites = 0;    // every write fails with this error, taking no byte (a full drive)
    bool keepsNothing = false;     // takes every write, keeps nothing
    bool deniesDiskOpen = false;   // security software refuses \\.\PhysicalDriveN
    bool layoutStale = false;      // written since Windows last read its partition table
    // What the device descriptor says; a fixed disk says neither removable nor USB.
    bool answersDescriptor = true;
    bool removableMedia = true;
    uint32_t busType = 7;  // USB
    std::string serial;    // "" for none
    std::string object;    // what \\.\PhysicalDriveN leads to; "" for \Device\HarddiskN\DRN
    uint64_t reportedBytes = 0;   // a length the geometry gives instead of the medium's (a large disk)
    bool deviceHotplug = true;    // Windows says the device may be pulled out (USB, a card reader)
    bool answersGeometryEx = true;  // false: asked without access, the disk gives neither size nor sectors
    uint32_t failsWith = 0;       // from raw write `failsAfterWrites` on, every transfer fails with this error
    int failsAfterWrites = 0;
};

struct ModelVolume {
    std::string name;     // "\\?\Volume{...}\"
    std::string letters;  // "E", or "" for a volume without a letter
    int disk = -1;        // index in disks; -1: a diskette drive, which has no extents
    uint64_t offset = 0;
    uint64_t length = 0;
    uint64_t fileSystemSize = 0;  // what the mounted file system takes the volume's size to be
    int diskCount = 1;            // extents over this many disks
    bool mounted = true;
    int openFiles = 0;            // handles of other programs (an Explorer window)
    bool refusesOpen = false;     // another program holds it without sharing
    bool policyDeniesWrite = false;  // a policy (BitLocker's deny-write) refuses to open it for writing
    bool system = false;          // holds Windows, its boot files or a page file
    bool answersExtents = true;   // false: a volume driver that does not answer the extents query
    bool answersGeometry = true;  // false: the geometry query fails (as on Wine's drives)
    bool reopenedAtOnce = false;  // another program opens it again as soon as it is dismounted
    int remountAfterWrites = -1;  // another program reads from it after this many raw writes to its disk
    int handlesKeptAfterDismountMs = 0;  // Explorer closes its invalidated handles this long after a dismount
    bool mountsOnNewLayout = false;      // found again when the layout is read, and its file system writes to it
    uint32_t handlesCloseAtMs = 0;
    void* lockedBy = nullptr;
};

struct ModelHandle;

class StorageModel {
public:
    std::vector<ModelDisk> disks;
    std::vector<ModelVolume> volumes;

    // Diskette drives: a volume without a disk keeps its bytes here.
    std::vector<uint8_t> disketteMedium;
    uint32_t disketteMediaType = 0;  // MEDIA_TYPE of the diskette in the drive
    uint32_t disketteRotations = 0;  // a turn for every track side a transfer touches
    // A bad spot on the medium (disk 1's, or the diskette's): a transfer that
    // touches sector `badSector` fails with `badError` (reads, writes or
    // both), `badFailures` times (-1: always).
    // An unformatted diskette: 1 answers its geometry with
    // ERROR_UNRECOGNIZED_MEDIA, 2 finds no sector to read. A double-density
    // one takes only a 720 KB format.
    int disketteUnformatted = 0;
    bool disketteDoubleDensity = false;
    uint32_t formattedCylinders = 0;
    int64_t badSector = -1;
    uint32_t badError = 23;
    bool badOnRead = true, badOnWrite = true;
    int badFailures = -1;

    // What the program did.
    std::vector<std::string> writeOpens;  // paths opened for reading and writing
    uint32_t pausedMs = 0;
    int rawWrites = 0;
    std::vector<std::string> notes;
    std::function<void(StorageModel*)> onPause;  // the world changing during a wait

    StorageModel();
    StorageModel(StorageModel&&);
    ~StorageModel();
    StorageCalls Calls();

    int OpenHandles() const;
    bool AnyVolumeLocked() const;
    int VolumeByLetter(char letter) const;

    // The model's side of each call.
    uint32_t Open(const char* path, StorageAccess access, bool bypassCache, StorageHandle* handle);
    uint32_t Control(StorageHandle handle, StorageControl code, void* answer, uint32_t size, uint32_t* returned);
    uint32_t Seek(StorageHandle handle, uint64_t offset);
    uint32_t Transfer(StorageHandle handle, uint8_t* data, const uint8_t* source, uint32_t size, uint32_t* done);
    uint32_t Flush(StorageHandle handle);
    uint32_t FormatCylinder(StorageHandle handle, uint32_t mediaType, uint32_t cylinder, uint32_t* badTracks);
    void Close(StorageHandle handle);
    uint32_t VolumeName(const char* root, char* name, uint32_t capacity);
    uint32_t ListVolumes(void (*each)(void*, const char*), void* user);
    uint32_t VolumeLetters(const char* volumeName, char* letters, uint32_t capacity);

private:
    std::vector<std::unique_ptr<ModelHandle>> handles_;
    ModelHandle* Find(StorageHandle handle);
    uint32_t WriteAllowed(const ModelHandle& handle, uint64_t diskOffset, uint32_t size);
    static uint32_t Descriptor(const ModelDisk& disk, void* answer, uint32_t size, uint32_t* returned);
};

// Devices as the tests meet them. Every disk is `diskBytes` long and filled
// with a pattern of its own; disk 0 is the system disk with drive C:.
constexpr uint64_t kModelDiskBytes = 4 << 20;
constexpr uint64_t kModelPartitionStart = 1 << 20;

StorageModel SystemOnly();
// Adds a stick as disk 1 and returns the model: "superfloppy" (file system
// from byte 0), "mbr" (one partition at 1 MiB), "mbr2" (two partitions,
// E: and F:), "gpt" (backup header in the last sector), "efi-bad-crc" (MBR,
// a last sector that says "EFI PART" with a wrong CRC), "512e", "4kn".
void AddStick(StorageModel* model, const std::string& kind, char letter);
