#include "storage_model.h"

#include "write/gpt_backup.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorNotLocked = 158;

}  // namespace

struct ModelHandle {
    bool isDisk;
    int index;  // into disks or volumes
    StorageAccess access;
    bool bypassCache;
    uint64_t position = 0;
    bool extendedDasd = false;
};

StorageModel::StorageModel() = default;
StorageModel::StorageModel(StorageModel&&) = default;
StorageModel::~StorageModel() = default;

ModelHandle* StorageModel::Find(StorageHandle handle) {
    for (auto& owned : handles_)
        if (owned.get() == handle)
            return owned.get();
    return nullptr;
}

int StorageModel::VolumeByLetter(char letter) const {
    for (size_t i = 0; i < volumes.size(); ++i)
        if (volumes[i].letters.find(letter) != std::string::npos)
            return int(i);
    return -1;
}

int StorageModel::OpenHandles() const {
    return int(handles_.size());
}

bool StorageModel::AnyVolumeLocked() const {
    for (const ModelVolume& volume : volumes)
        if (volume.lockedBy != nullptr)
            return true;
    return false;
}

uint32_t StorageModel::Open(const char* path, StorageAccess access, bool bypassCache, StorageHandle* handle) {
    *handle = nullptr;
    const std::string text = path;
    auto opened = std::make_unique<ModelHandle>(ModelHandle{false, -1, access, bypassCache});
    if (text.rfind("\\\\.\\PhysicalDrive", 0) == 0) {
        const std::string number = text.substr(17);
        for (size_t i = 0; i < disks.size(); ++i)
            if (std::to_string(disks[i].number) == number)
                opened->index = int(i), opened->isDisk = true;
    } else if (text.size() == 6 && text.rfind("\\\\.\\", 0) == 0 && text[5] == ':') {
        opened->index = VolumeByLetter(text[4]);
    } else {
        for (size_t i = 0; i < volumes.size(); ++i)
            if (volumes[i].name == text + "\\")
                opened->index = int(i);
    }
    if (opened->index < 0)
        return kErrorFileNotFound;
    if (access == StorageAccess::ReadWrite) {
        if (opened->isDisk && disks[opened->index].deniesDiskOpen)
            return kErrorAccessDenied;
        if (!opened->isDisk) {
            const ModelVolume& volume = volumes[opened->index];
            if (volume.refusesOpen)
                return kErrorSharingViolation;
            if (volume.policyDeniesWrite)
                return kErrorAccessDenied;
            // FSCTL_LOCK_VOLUME: a locked volume is reached only through the handle that locked it.
            if (volume.lockedBy != nullptr)
                return kErrorAccessDenied;
        }
        writeOpens.push_back(text);
    }
    *handle = opened.get();
    handles_.push_back(std::move(opened));
    return 0;
}

uint32_t StorageModel::Control(StorageHandle handle, StorageControl code, void* answer, uint32_t size,
                               uint32_t* returned) {
    *returned = 0;
    ModelHandle* h = Find(handle);
    if (h == nullptr)
        return 6;  // ERROR_INVALID_HANDLE
    ModelVolume* volume = h->isDisk ? nullptr : &volumes[h->index];
    const int diskIndex = h->isDisk ? h->index : volume->disk;
    ModelDisk* disk = diskIndex >= 0 ? &disks[diskIndex] : nullptr;
    const bool present = disk == nullptr || disk->present;
    switch (code) {
        case StorageControl::LockVolume: {
            if (volume == nullptr)
                return kErrorInvalidFunction;
            if (!present)
                return kErrorNotReady;
            // FSCTL_LOCK_VOLUME: fails while any other open handle has the volume's files or data.
            int others = volume->openFiles;
            for (const auto& other : handles_)
                if (other.get() != h && !other->isDisk && other->index == h->index &&
                    other->access == StorageAccess::ReadWrite)
                    ++others;
            if (others > 0 || (volume->lockedBy != nullptr && volume->lockedBy != h))
                return kErrorAccessDenied;
            volume->lockedBy = h;
            return 0;
        }
        case StorageControl::UnlockVolume:
            if (volume == nullptr || volume->lockedBy != h)
                return kErrorNotLocked;
            volume->lockedBy = nullptr;
            return 0;
        case StorageControl::DismountVolume:
            if (volume == nullptr)
                return kErrorInvalidFunction;
            // FSCTL_DISMOUNT_VOLUME: fails for a system volume or one with a page file.
            if (volume->system)
                return kErrorAccessDenied;
            // FSCTL_DISMOUNT_VOLUME: succeeds with other handles open; they are invalid afterwards,
            // but fastfat refuses a lock until they are closed (Explorer: on the dismount notice).
            volume->mounted = false;
            volume->handlesCloseAtMs = pausedMs + uint32_t(volume->handlesKeptAfterDismountMs);
            if (volume->handlesKeptAfterDismountMs == 0)
                volume->openFiles = volume->reopenedAtOnce ? 1 : 0;
            return 0;
        case StorageControl::AllowExtendedDasdIo:
            if (volume == nullptr)
                return kErrorInvalidFunction;
            // FSCTL_ALLOW_EXTENDED_DASD_IO: no boundary checks on this handle's reads and writes.
            h->extendedDasd = true;
            return 0;
        case StorageControl::UpdateProperties:
            // IOCTL_DISK_UPDATE_PROPERTIES: sent to the disk device; the partition table is read anew.
            if (!h->isDisk)
                return kErrorInvalidFunction;
            disk->layoutStale = false;
            // Mount manager: a volume found in the new layout is mounted at once; fastfat marks its
            // boot sector dirty (or Explorer writes System Volume Information) inside the image.
            for (ModelVolume& found : volumes)
                if (found.disk == h->index && found.mountsOnNewLayout) {
                    found.mounted = true;
                    ++disk->medium[found.offset + 0x25];
                    ++disk->cache[found.offset + 0x25];
                }
            return 0;
        case StorageControl::IsWritable:
            // IOCTL_DISK_IS_WRITABLE: ERROR_WRITE_PROTECT for a protected medium.
            if (!present)
                return kErrorNotReady;
            return disk != nullptr && disk->writeProtected ? kErrorWriteProtect : 0;
        case StorageControl::VolumeDiskExtents: {
            // IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS: diskette drives are no disk's extents.
            if (volume == nullptr || disk == nullptr || !volume->answersExtents)
                return kErrorInvalidFunction;
            if (!present)
                return kErrorNotReady;
            if (size < 8)
                return kErrorInsufficientBuffer;
            auto* bytes = static_cast<uint8_t*>(answer);
            const uint32_t count = uint32_t(volume->diskCount);
            memcpy(bytes, &count, 4);
            *returned = 8;
            if (size < 8 + 24 * count)
                return kErrorMoreData;
            for (uint32_t i = 0; i < count; ++i) {
                uint8_t* extent = bytes + 8 + 24 * i;
                const uint32_t number = disk->number + i * 100;
                const uint64_t length = volume->length / count;
                const uint64_t start = volume->offset + i * length;
                memcpy(extent, &number, 4);
                memcpy(extent + 8, &start, 8);
                memcpy(extent + 16, &length, 8);
            }
            *returned = 8 + 24 * count;
            return 0;
        }
        case StorageControl::DriveGeometry: {
            if (volume != nullptr && !volume->answersGeometry)
                return kErrorNotSupported;
            if (disk == nullptr && disketteUnformatted == 1)
                return kErrorUnrecognizedMedia;
            if (!present)
                return kErrorNotReady;
            if (size < 24)
                return kErrorInsufficientBuffer;
            // DISK_GEOMETRY: the medium's type and its cylinders x tracks x sectors x BytesPerSector,
            // BytesPerSector the logical sector size.
            uint8_t geometry[24] = {};
            const uint32_t sector = disk != nullptr ? disk->sectorSize : 512;
            const uint64_t cylinders = (disk != nullptr ? disk->medium.size() : disketteMedium.size()) / sector;
            const uint32_t type = disk == nullptr ? disketteMediaType : disk->removableMedia ? 11 : 12;
            const uint32_t one = 1;
            memcpy(geometry, &cylinders, 8);
            memcpy(geometry + 8, &type, 4);
            memcpy(geometry + 12, &one, 4);
            memcpy(geometry + 16, &one, 4);
            memcpy(geometry + 20, &sector, 4);
            memcpy(answer, geometry, 24);
            *returned = 24;
            return 0;
        }
        case StorageControl::LengthInfo: {
            // IOCTL_DISK_GET_LENGTH_INFO: needs a handle with read access.
            if (h->access == StorageAccess::Query)
                return kErrorAccessDenied;
            if (!present)
                return kErrorNotReady;
            if (size < 8)
                return kErrorInsufficientBuffer;
            const uint64_t length = h->isDisk ? disk->medium.size() : volume->length;
            memcpy(answer, &length, 8);
            *returned = 8;
            return 0;
        }
        case StorageControl::DriveGeometryEx: {
            // DISK_GEOMETRY_EX: the geometry (BytesPerSector at byte 20), then DiskSize.
            const uint64_t geometry[4] = {0, 0, uint64_t(disk != nullptr ? disk->sectorSize : 0) << 32,
                                          disk == nullptr           ? 0
                                          : disk->reportedBytes != 0 ? disk->reportedBytes
                                                                     : disk->medium.size()};
            if (disk == nullptr || !disk->answersGeometryEx || size < sizeof(geometry))
                return kErrorInvalidFunction;
            memcpy(answer, geometry, *returned = sizeof(geometry));
            return 0;
        }
        case StorageControl::HotplugInfo: {
            // STORAGE_HOTPLUG_INFO: Size, MediaRemovable, MediaHotplug, DeviceHotplug, WriteCacheEnableOverride.
            const uint8_t info[8] = {8, 0, 0, 0, uint8_t(disk != nullptr && disk->removableMedia), 0,
                                     uint8_t(disk != nullptr && disk->deviceHotplug), 0};
            if (disk == nullptr || size < sizeof(info))
                return kErrorInvalidFunction;
            memcpy(answer, info, *returned = sizeof(info));
            return 0;
        }
        case StorageControl::DeviceNumber: {
            // IOCTL_STORAGE_GET_DEVICE_NUMBER: FILE_DEVICE_DISK, the disk's number, partition 0 for the disk.
            const uint32_t number[3] = {7, disk != nullptr ? disk->number : 0, h->isDisk ? 0u : 1u};
            if (disk == nullptr || size < sizeof(number))
                return kErrorInvalidFunction;
            memcpy(answer, number, *returned = sizeof(number));
            return 0;
        }
        case StorageControl::DeviceDescriptor:
            // IOCTL_STORAGE_QUERY_PROPERTY: a volume passes the query on to its disk.
            return disk == nullptr || !disk->answersDescriptor ? kErrorInvalidFunction
                                                               : Descriptor(*disk, answer, size, returned);
    }
    return kErrorInvalidFunction;
}

// STORAGE_DEVICE_DESCRIPTOR: a 40-byte fixed part, then the strings it points to.
uint32_t StorageModel::Descriptor(const ModelDisk& disk, void* answer, uint32_t size, uint32_t* returned) {
    std::vector<uint8_t> bytes(40, 0);
    auto add = [&bytes](size_t field, const std::string& text) {
        const uint32_t offset = uint32_t(bytes.size());
        memcpy(bytes.data() + field, &offset, 4);
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
    };
    add(12, "Talvix  ");
    add(16, disk.removableMedia ? "Stick" : "Disk");
    if (!disk.serial.empty())
        add(24, disk.serial);
    const uint32_t head[2] = {40, uint32_t(bytes.size())};
    memcpy(bytes.data(), head, sizeof(head));
    bytes[10] = disk.removableMedia;
    memcpy(bytes.data() + 28, &disk.busType, 4);
    *returned = std::min(size, uint32_t(bytes.size()));
    memcpy(answer, bytes.data(), *returned);
    return 0;
}

uint32_t StorageModel::Seek(StorageHandle handle, uint64_t offset) {
    ModelHandle* h = Find(handle);
    if (h == nullptr)
        return 6;
    h->position = offset;
    return 0;
}

// Blocking direct write operations to volumes and disks (Windows Vista and
// later): sectors of a mounted file system take raw writes only while that
// volume is locked or dismounted.
uint32_t StorageModel::WriteAllowed(const ModelHandle& h, uint64_t diskOffset, uint32_t size) {
    for (const ModelVolume& volume : volumes) {
        const bool sameDevice = h.isDisk ? volume.disk == h.index : &volume == &volumes[h.index];
        if (!sameDevice || !volume.mounted || volume.lockedBy != nullptr)
            continue;
        if (h.isDisk && (diskOffset + size <= volume.offset || diskOffset >= volume.offset + volume.length))
            continue;
        return kErrorAccessDenied;
    }
    return 0;
}

uint32_t StorageModel::Transfer(StorageHandle handle, uint8_t* data, const uint8_t* source, uint32_t size,
                                uint32_t* done) {
    *done = 0;
    ModelHandle* h = Find(handle);
    if (h == nullptr)
        return 6;
    const bool writing = source != nullptr;
    if (h->access == StorageAccess::Query)
        return kErrorAccessDenied;
    const ModelVolume* volume = h->isDisk ? nullptr : &volumes[h->index];
    const int diskIndex = h->isDisk ? h->index : volume->disk;
    ModelDisk* disk = diskIndex >= 0 ? &disks[diskIndex] : nullptr;
    if (disk != nullptr && !disk->present)
        return kErrorNotReady;
    // ReadFile, WriteFile: a device that went (ERROR_DEVICE_NOT_CONNECTED) or a failing medium (ERROR_CRC) ends each call.
    if (disk != nullptr && disk->failsWith != 0 && rawWrites >= disk->failsAfterWrites)
        return disk->failsWith;
    const uint32_t sector = disk != nullptr ? disk->sectorSize : 512;
    // File buffering: without the cache, buffer address, offset and length must be whole sectors.
    const auto address = reinterpret_cast<uintptr_t>(writing ? source : data);
    if (h->bypassCache && (address % sector != 0 || h->position % sector != 0 || size % sector != 0))
        return kErrorInvalidParameter;

    uint64_t diskOffset = h->position;
    if (volume != nullptr) {
        // FSCTL_ALLOW_EXTENDED_DASD_IO: without it a volume handle stops at the file system's size.
        const uint64_t limit = h->extendedDasd ? volume->length : volume->fileSystemSize;
        if (h->position + size > limit)
            return kErrorSectorNotFound;
        diskOffset += volume->offset;
    }
    std::vector<uint8_t>& medium = disk != nullptr ? disk->medium : disketteMedium;
    std::vector<uint8_t>* cache = disk != nullptr ? &disk->cache : nullptr;
    if (diskOffset + size > medium.size())
        return kErrorSectorNotFound;
    if (disk == nullptr && disketteUnformatted != 0)
        return disketteUnformatted == 1 ? kErrorUnrecognizedMedia : kErrorSectorNotFound;
    // A diskette drive transfers whole track sides of 18 sectors, a rotation each.
    if (disk == nullptr && size > 0)
        disketteRotations += uint32_t((diskOffset + size - 1) / 9216 - diskOffset / 9216 + 1);
    // ReadFile, WriteFile: a sector that cannot be read or written (ERROR_CRC, ERROR_SECTOR_NOT_FOUND, ...).
    const uint64_t bad = uint64_t(badSector) * sector;
    if ((disk == nullptr || diskIndex == 1) && badSector >= 0 && badFailures != 0 &&
        (writing ? badOnWrite : badOnRead) && bad < diskOffset + size && diskOffset < bad + sector) {
        badFailures -= badFailures > 0 ? 1 : 0;
        return badError;
    }
    if (writing) {
        if (disk != nullptr && disk->writeProtected)
            return kErrorWriteProtect;
        if (disk != nullptr && disk->refusesWrites != 0)
            return disk->refusesWrites;
        if (const uint32_t refused = WriteAllowed(*h, diskOffset, size))
            return refused;
        if (cache != nullptr)
            memcpy(cache->data() + diskOffset, source, size);
        if (disk == nullptr || !disk->keepsNothing)
            memcpy(medium.data() + diskOffset, source, size);
        if (disk != nullptr)
            disk->layoutStale = true;
        // FSCTL_DISMOUNT_VOLUME: a dismounted volume is mounted again as soon as anyone reads it, unless locked.
        ++rawWrites;
        for (ModelVolume& other : volumes)
            if (other.disk == diskIndex && other.remountAfterWrites >= 0 && rawWrites >= other.remountAfterWrites &&
                other.lockedBy == nullptr)
                other.mounted = true;
    } else {
        // File caching: a buffered read may be answered from the cache, not the medium.
        const std::vector<uint8_t>& from = h->bypassCache || cache == nullptr ? medium : *cache;
        memcpy(data, from.data() + diskOffset, size);
    }
    h->position += size;
    *done = size;
    return 0;
}

uint32_t StorageModel::Flush(StorageHandle handle) {
    ModelHandle* h = Find(handle);
    if (h == nullptr)
        return 6;
    const int diskIndex = h->isDisk ? h->index : volumes[h->index].disk;
    return diskIndex >= 0 && !disks[diskIndex].present ? kErrorNotReady : 0;
}

void StorageModel::Close(StorageHandle handle) {
    for (size_t i = 0; i < handles_.size(); ++i) {
        if (handles_[i].get() != handle)
            continue;
        // FSCTL_LOCK_VOLUME: closing the locking handle unlocks the volume.
        for (ModelVolume& volume : volumes)
            if (volume.lockedBy == handle)
                volume.lockedBy = nullptr;
        handles_.erase(handles_.begin() + long(i));
        return;
    }
}

uint32_t StorageModel::VolumeName(const char* root, char* name, uint32_t capacity) {
    const int index = VolumeByLetter(root[0]);
    if (index < 0)
        return kErrorFileNotFound;
    if (volumes[index].name.size() + 1 > capacity)
        return kErrorInsufficientBuffer;
    memcpy(name, volumes[index].name.c_str(), volumes[index].name.size() + 1);
    return 0;
}

uint32_t StorageModel::ListVolumes(void (*each)(void*, const char*), void* user) {
    for (const ModelVolume& volume : volumes)
        each(user, volume.name.c_str());
    return 0;
}

uint32_t StorageModel::VolumeLetters(const char* volumeName, char* letters, uint32_t capacity) {
    for (const ModelVolume& volume : volumes) {
        if (volume.name != volumeName)
            continue;
        if (volume.letters.size() + 1 > capacity)
            return kErrorMoreData;
        memcpy(letters, volume.letters.c_str(), volume.letters.size() + 1);
        return 0;
    }
    return kErrorFileNotFound;
}

uint32_t StorageModel::FormatCylinder(StorageHandle handle, uint32_t mediaType, uint32_t cylinder, uint32_t* badTracks) {
    *badTracks = 0;
    const ModelHandle* h = Find(handle);
    // IOCTL_DISK_FORMAT_TRACKS_EX: for floppy disk devices only, through a handle that may write.
    if (h == nullptr || h->isDisk || volumes[h->index].disk >= 0)
        return kErrorInvalidFunction;
    if (h->access == StorageAccess::Query)
        return kErrorAccessDenied;
    // IOCTL_DISK_FORMAT_TRACKS: STATUS_INVALID_PARAMETER for parameters that will not work on the drive.
    if (cylinder >= 80 || mediaType != (disketteDoubleDensity ? 5u : 2u))
        return kErrorInvalidParameter;
    disketteMedium.resize(1474560);
    std::fill_n(disketteMedium.begin() + cylinder * 18432, 18432, uint8_t(0xF6));
    if (++formattedCylinders == 80)
        disketteUnformatted = 0, disketteMediaType = mediaType;
    return 0;
}

StorageCalls StorageModel::Calls() {
    StorageCalls calls{};
    calls.context = this;
    calls.open = [](void* c, const char* path, StorageAccess access, bool bypass, StorageHandle* handle) {
        return static_cast<StorageModel*>(c)->Open(path, access, bypass, handle);
    };
    calls.control = [](void* c, StorageHandle h, StorageControl code, void* answer, uint32_t size, uint32_t* got) {
        return static_cast<StorageModel*>(c)->Control(h, code, answer, size, got);
    };
    calls.seek = [](void* c, StorageHandle h, uint64_t offset) { return static_cast<StorageModel*>(c)->Seek(h, offset); };
    calls.write = [](void* c, StorageHandle h, const uint8_t* data, uint32_t size, uint32_t* done) {
        return static_cast<StorageModel*>(c)->Transfer(h, nullptr, data, size, done);
    };
    calls.read = [](void* c, StorageHandle h, uint8_t* data, uint32_t size, uint32_t* done) {
        return static_cast<StorageModel*>(c)->Transfer(h, data, nullptr, size, done);
    };
    calls.flush = [](void* c, StorageHandle h) { return static_cast<StorageModel*>(c)->Flush(h); };
    calls.formatCylinder = [](void* c, StorageHandle h, uint32_t type, uint32_t cylinder, uint32_t* bad) {
        return static_cast<StorageModel*>(c)->FormatCylinder(h, type, cylinder, bad);
    };
    calls.close = [](void* c, StorageHandle h) { static_cast<StorageModel*>(c)->Close(h); };
    calls.volumeName = [](void* c, const char* root, char* name, uint32_t capacity) {
        return static_cast<StorageModel*>(c)->VolumeName(root, name, capacity);
    };
    calls.listVolumes = [](void* c, void (*each)(void*, const char*), void* user) {
        return static_cast<StorageModel*>(c)->ListVolumes(each, user);
    };
    calls.volumeLetters = [](void* c, const char* name, char* letters, uint32_t capacity) {
        return static_cast<StorageModel*>(c)->VolumeLetters(name, letters, capacity);
    };
    calls.dosDevice = [](void* c, const char* name, char* target, uint32_t capacity) {
        for (const ModelDisk& disk : static_cast<StorageModel*>(c)->disks) {
            const std::string n = std::to_string(disk.number);
            const std::string object = disk.object.empty() ? "\\Device\\Harddisk" + n + "\\DR" + n : disk.object;
            if (name == "PhysicalDrive" + n)
                return uint32_t(snprintf(target, capacity, "%s", object.c_str()) < 0);
        }
        return kErrorFileNotFound;
    };
    calls.systemVolumes = [](void* c, void (*each)(void*, const char*), void* user) {
        for (const ModelVolume& volume : static_cast<StorageModel*>(c)->volumes)
            if (volume.system)
                each(user, volume.name.c_str());
        return uint32_t(0);
    };
    calls.pause = [](void* c, uint32_t ms) {
        auto* model = static_cast<StorageModel*>(c);
        model->pausedMs += ms;
        for (ModelVolume& volume : model->volumes)
            if (!volume.mounted && volume.handlesKeptAfterDismountMs > 0 && model->pausedMs >= volume.handlesCloseAtMs)
                volume.openFiles = 0;
        if (model->onPause)
            model->onPause(model);
    };
    calls.clockMs = [](void* c) { return uint64_t(static_cast<StorageModel*>(c)->pausedMs); };
    calls.note = [](void* c, const char* line) { static_cast<StorageModel*>(c)->notes.push_back(line); };
    return calls;
}

namespace {

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t((i >> 9) * 3 + seed);
    return bytes;
}

ModelDisk Disk(uint32_t number, uint8_t seed) {
    ModelDisk disk;
    disk.number = number;
    disk.medium = Pattern(kModelDiskBytes, seed);
    disk.cache = disk.medium;
    return disk;
}

ModelVolume Volume(const std::string& id, const std::string& letters, int disk, uint64_t offset, uint64_t length) {
    ModelVolume volume;
    volume.name = "\\\\?\\Volume{" + id + "}\\";
    volume.letters = letters;
    volume.disk = disk;
    volume.offset = offset;
    volume.length = length;
    volume.fileSystemSize = length;
    return volume;
}

// A GPT header at `at`: its own sector, its other copy's, and its CRC.
void GptHeader(uint8_t* at, uint64_t self, uint64_t other) {
    memset(at, 0, 92);
    memcpy(at, "EFI PART", 8);
    at[10] = 1;  // revision 1.0
    at[12] = 92;
    for (int i = 0; i < 8; ++i)
        at[24 + i] = uint8_t(self >> (8 * i)), at[32 + i] = uint8_t(other >> (8 * i));
    const uint32_t crc = GptCrc32(at, 92);
    for (int i = 0; i < 4; ++i)
        at[16 + i] = uint8_t(crc >> (8 * i));
}

}  // namespace

StorageModel SystemOnly() {
    StorageModel model;
    model.disks.push_back(Disk(0, 0x11));
    model.disks.back().removableMedia = false;
    model.disks.back().busType = 11;  // SATA
    model.disks.back().deviceHotplug = false;
    model.volumes.push_back(
        Volume("c0000000-0000-0000-0000-000000000000", "C", 0, kModelPartitionStart, kModelDiskBytes - kModelPartitionStart));
    model.volumes.back().openFiles = 40;  // Windows runs from it
    model.volumes.back().system = true;
    return model;
}

void AddStick(StorageModel* model, const std::string& kind, char letter) {
    const int disk = int(model->disks.size());
    model->disks.push_back(Disk(uint32_t(disk), uint8_t(0x20 + disk)));
    ModelDisk& added = model->disks.back();
    added.serial = "STICK-" + std::to_string(disk);
    const std::string id = std::string("5717c000-0000-0000-0000-00000000000") + char('0' + disk);
    const uint64_t rest = kModelDiskBytes - kModelPartitionStart;
    if (kind == "superfloppy") {
        model->volumes.push_back(Volume(id, std::string(1, letter), disk, 0, kModelDiskBytes));
        return;
    }
    added.medium[510] = 0x55, added.medium[511] = 0xAA;  // a partition table
    if (kind == "4kn")
        added.sectorSize = 4096;
    // GPT: a protective MBR, the header in sector 1 naming the last sector
    // as its backup, and the backup there ("gpt-named": a damaged backup).
    // "stale-gpt": re-partitioned with MBR, the old header left in sector 1.
    const uint64_t lastLba = kModelDiskBytes / 512 - 1;
    if (kind.find("gpt") != std::string::npos) {
        added.medium[446 + 4] = kind == "stale-gpt" ? 0x0C : 0xEE;
        GptHeader(added.medium.data() + 512, 1, lastLba);
    }
    if (kind == "gpt")
        GptHeader(added.medium.data() + kModelDiskBytes - 512, lastLba, 1);
    if (kind == "gpt-named")
        memcpy(added.medium.data() + kModelDiskBytes - 512, "EFI PART", 8);
    if (kind == "efi-bad-crc") {  // an MBR stick whose last sector looks like a header, its CRC wrong
        GptHeader(added.medium.data() + kModelDiskBytes - 512, lastLba, 1);
        added.medium[kModelDiskBytes - 512 + 16] ^= 1;
    }
    added.cache = added.medium;
    if (kind == "mbr2") {
        const uint64_t half = rest / 2;
        model->volumes.push_back(Volume(id + "a", std::string(1, letter), disk, kModelPartitionStart, half));
        model->volumes.push_back(
            Volume(id + "b", std::string(1, char(letter + 1)), disk, kModelPartitionStart + half, half));
        return;
    }
    model->volumes.push_back(Volume(id, std::string(1, letter), disk, kModelPartitionStart, rest));
}
