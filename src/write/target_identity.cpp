#include "write/target_identity.h"

#include <cstdio>
#include <cstring>

namespace {

// Room for the extents of a volume over a few disks; a longer answer still
// tells the count, which is all a spanned volume needs.
constexpr uint32_t kExtentsAnswerSize = 8 + 8 * 24;
// A descriptor with its strings; what does not fit is read as missing.
constexpr uint32_t kDescriptorAnswerSize = 1024;
// DISK_GEOMETRY_EX: DISK_GEOMETRY (24 bytes), then DiskSize.
constexpr uint32_t kGeometryExSize = 32;
constexpr uint32_t kDiskSizeOffset = 24;
constexpr uint32_t kFileDeviceDisk = 7;

struct ExtentsAnswer {
    bool answered;
    uint32_t error;
    alignas(8) uint8_t bytes[kExtentsAnswerSize];
    uint32_t size;
};

ExtentsAnswer AskExtents(const StorageCalls& calls, const char* path) {
    ExtentsAnswer answer{};
    StorageHandle handle = nullptr;
    answer.error = calls.open(calls.context, path, StorageAccess::Query, false, &handle);
    if (answer.error != 0)
        return answer;
    uint32_t returned = 0;
    answer.error = calls.control(calls.context, handle, StorageControl::VolumeDiskExtents, answer.bytes,
                                 sizeof(answer.bytes), &returned);
    calls.close(calls.context, handle);
    answer.answered = answer.error == 0 || answer.error == kErrorMoreData;
    answer.size = returned <= sizeof(answer.bytes) ? returned : 0;
    return answer;
}

void AddLetters(TargetIdentity* identity, const char* letters) {
    size_t used = strlen(identity->lettersOnDisk);
    for (const char* letter = letters; *letter != '\0' && used + 1 < sizeof(identity->lettersOnDisk); ++letter) {
        if (strchr(identity->lettersOnDisk, *letter) == nullptr)
            identity->lettersOnDisk[used++] = *letter;
    }
}

// "\\?\Volume{...}\" opens the volume device only without its last backslash.
VolumeName VolumeDevicePathOf(const char* volumeName) {
    VolumeName path{};
    snprintf(path.text, sizeof(path.text), "%s", volumeName);
    const size_t length = strlen(path.text);
    if (length > 0 && path.text[length - 1] == '\\')
        path.text[length - 1] = '\0';
    return path;
}

struct DiskSearch {
    const StorageCalls* calls;
    TargetIdentity* identity;
    uint32_t diskNumber;
};

void ConsiderVolume(void* user, const char* volumeName) {
    auto* search = static_cast<DiskSearch*>(user);
    TargetIdentity* identity = search->identity;
    const StorageCalls& calls = *search->calls;
    if (strcmp(volumeName, identity->volume.text) == 0)
        return;  // the letter's own, held already
    const VolumeName path = VolumeDevicePathOf(volumeName);
    // Another disk's volume is only ever asked, never opened for writing.
    const ExtentsAnswer answer = AskExtents(calls, path.text);
    if (!answer.answered || !ExtentsMentionDisk(answer.bytes, answer.size, search->diskNumber))
        return;
    if (identity->volumeCount == kMaxDiskVolumes) {
        identity->tooManyVolumes = true;
        return;
    }
    identity->volumes[identity->volumeCount++] = path;
    char letters[27] = {};
    if (calls.volumeLetters(calls.context, volumeName, letters, sizeof(letters)) == 0) {
        letters[sizeof(letters) - 1] = '\0';
        AddLetters(identity, letters);
    }
}

// The disk's length and sector size from its geometry, which a handle
// without access may ask.
void AskDiskGeometry(const StorageCalls& calls, StorageHandle handle, TargetIdentity* identity) {
    alignas(8) uint8_t answer[kGeometryExSize] = {};
    uint32_t returned = 0;
    if (calls.control(calls.context, handle, StorageControl::DriveGeometryEx, answer, sizeof(answer), &returned) != 0 ||
        returned < kDiskSizeOffset + 8 || returned > sizeof(answer))
        return;
    identity->disk.length = LengthFromAnswer(answer + kDiskSizeOffset, returned - kDiskSizeOffset);
    identity->bytesPerSector = BytesPerSectorFromGeometry(answer, returned);
    identity->mediumLength = identity->disk.length;
    identity->mediaType = MediumFromGeometry(answer, returned).mediaType;
}

// Whether Windows says the disk can be pulled out, asked without access.
HotplugFacts AskHotplug(const StorageCalls& calls, StorageHandle handle) {
    alignas(8) uint8_t answer[8] = {};
    uint32_t returned = 0;
    if (calls.control(calls.context, handle, StorageControl::HotplugInfo, answer, sizeof(answer), &returned) != 0)
        return HotplugFacts{};
    return ReadHotplugInfo(answer, returned <= sizeof(answer) ? returned : 0);
}

// The sector size, type and length of the medium behind a volume, asked
// without access. A drive whose geometry gives no length may still say it
// (Wine's drives give the size of the file behind them).
void AskMediumThrough(const StorageCalls& calls, const char* path, TargetIdentity* identity) {
    StorageHandle handle = nullptr;
    if (calls.open(calls.context, path, StorageAccess::Query, false, &handle) != 0)
        return;
    alignas(8) uint8_t geometry[24] = {};
    uint32_t returned = 0;
    if (calls.control(calls.context, handle, StorageControl::DriveGeometry, geometry, sizeof(geometry), &returned) ==
        0) {
        const uint32_t size = returned <= sizeof(geometry) ? returned : 0;
        identity->bytesPerSector = BytesPerSectorFromGeometry(geometry, size);
        const MediumGeometry medium = MediumFromGeometry(geometry, size);
        identity->mediaType = medium.mediaType;
        identity->mediumLength = medium.length;
    }
    alignas(8) uint8_t length[8] = {};
    if (identity->mediumLength == 0 &&
        calls.control(calls.context, handle, StorageControl::LengthInfo, length, sizeof(length), &returned) == 0)
        identity->mediumLength = LengthFromAnswer(length, returned <= sizeof(length) ? returned : 0);
    calls.close(calls.context, handle);
}

DiskDescriptor AskDeviceThrough(const StorageCalls& calls, const char* path) {
    StorageHandle handle = nullptr;
    if (calls.open(calls.context, path, StorageAccess::Query, false, &handle) != 0)
        return DiskDescriptor{};
    const DiskDescriptor descriptor = AskDeviceDescriptor(calls, handle);
    calls.close(calls.context, handle);
    return descriptor;
}

// Volume names as Windows gives them end in a backslash, device paths do not.
bool SameVolumeName(const char* a, const char* b) {
    size_t lengthA = strlen(a);
    size_t lengthB = strlen(b);
    lengthA -= lengthA > 0 && a[lengthA - 1] == '\\';
    lengthB -= lengthB > 0 && b[lengthB - 1] == '\\';
    if (lengthA == 0 || lengthA != lengthB)
        return false;
    for (size_t i = 0; i < lengthA; ++i) {
        const char x = a[i] >= 'a' && a[i] <= 'z' ? char(a[i] - 'a' + 'A') : a[i];
        const char y = b[i] >= 'a' && b[i] <= 'z' ? char(b[i] - 'a' + 'A') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

void ConsiderSystemVolume(void* user, const char* volumeName) {
    auto* identity = static_cast<TargetIdentity*>(user);
    identity->disk.carriesSystem |= SameVolumeName(volumeName, identity->volume.text);
    for (unsigned i = 1; i < identity->volumeCount; ++i)
        identity->disk.carriesSystem |= SameVolumeName(volumeName, identity->volumes[i].text);
}

// Asks the disk under the volume what it is and whether Windows needs it.
void AskDisk(const StorageCalls& calls, uint32_t diskNumber, TargetIdentity* identity) {
    StorageHandle handle = nullptr;
    const DevicePath disk = PhysicalDriveDevicePath(diskNumber);
    if (calls.open(calls.context, disk.text, StorageAccess::Query, false, &handle) == 0) {
        identity->device = AskDeviceDescriptor(calls, handle);
        AskDiskGeometry(calls, handle, identity);
        identity->disk.hotplug = AskHotplug(calls, handle);
        calls.close(calls.context, handle);
    }
    char name[32];
    snprintf(name, sizeof(name), "PhysicalDrive%u", diskNumber);
    char object[256] = {};
    if (calls.dosDevice(calls.context, name, object, sizeof(object)) == 0) {
        object[sizeof(object) - 1] = '\0';
        identity->disk.harddiskObject = NamesHarddiskObject(object);
    }
    identity->disk.systemVolumesKnown = calls.systemVolumes(calls.context, ConsiderSystemVolume, identity) == 0;
}

// True when both give the same serial number, or neither gives one.
bool SerialsAgree(const DiskDescriptor& a, const DiskDescriptor& b) {
    return (a.serial[0] == '\0' && b.serial[0] == '\0') || SameSerialDevice(a, b);
}

// Both disks known: the serial names the device where there is one; a
// stick plugged in again may come back under another disk number.
bool SameKnownDisk(const TargetIdentity& a, const TargetIdentity& b) {
    if (a.device.serial[0] != '\0' || b.device.serial[0] != '\0')
        return SameSerialDevice(a.device, b.device);
    return a.target.diskNumber == b.target.diskNumber;
}

}  // namespace

DiskDescriptor AskDeviceDescriptor(const StorageCalls& calls, StorageHandle handle) {
    alignas(8) uint8_t answer[kDescriptorAnswerSize];
    uint32_t returned = 0;
    if (calls.control(calls.context, handle, StorageControl::DeviceDescriptor, answer, sizeof(answer), &returned) != 0)
        return DiskDescriptor{};
    return ReadDiskDescriptor(answer, returned <= sizeof(answer) ? returned : 0);
}

// Every question is asked here, and the write target is decided once, from
// the answers: the volume's extents say whether the disk can be asked at all.
TargetIdentity IdentifyTarget(const StorageCalls& calls, char letter) {
    TargetIdentity identity{};
    const DevicePath volumePath = VolumeDevicePath(letter);
    if (volumePath.text[0] == '\0') {
        identity.target = ChooseWriteTarget(letter, VolumeExtents{ExtentsReading::NotAnswered, 0, 0});
        return identity;
    }
    identity.letter = letter;
    const char root[] = {letter, ':', '\\', '\0'};
    if (calls.volumeName(calls.context, root, identity.volume.text, sizeof(identity.volume.text)) != 0)
        identity.volume.text[0] = '\0';
    identity.volume.text[sizeof(identity.volume.text) - 1] = '\0';

    const ExtentsAnswer answer = AskExtents(calls, volumePath.text);
    if (!answer.answered)
        identity.queryError = answer.error;
    const VolumeExtents extents = ReadVolumeExtents(answer.answered, answer.bytes, answer.size);
    snprintf(identity.volumes[0].text, sizeof(identity.volumes[0].text), "%s", volumePath.text);
    identity.volumeCount = 1;
    const char own[] = {letter, '\0'};
    AddLetters(&identity, own);
    if (NamesOneDisk(extents)) {
        DiskSearch search{&calls, &identity, extents.diskNumber};
        calls.listVolumes(calls.context, ConsiderVolume, &search);
        AskDisk(calls, extents.diskNumber, &identity);
    } else if (extents.reading != ExtentsReading::Spanned) {
        // The disk is not known: the device is asked through the volume.
        identity.device = AskDeviceThrough(calls, volumePath.text);
        AskMediumThrough(calls, volumePath.text, &identity);
    }
    identity.target = ChooseWriteTarget(letter, extents);
    return identity;
}

namespace {

DiskRefusal CheckDiskKind(const TargetIdentity& identity) {
    const DiskDescriptor& device = identity.device;
    // Through the volume, writes stay inside the volume the letter names,
    // which Windows already calls removable; a device that answers is held
    // to its word, but one that does not (a diskette drive, Wine's drives)
    // may be written. The whole disk is written only when it says itself
    // that it is removable: a missing answer never opens a fixed disk.
    if (identity.target.kind != WriteTargetKind::PhysicalDrive)
        return device.answered && !IsRemovableKind(device) ? DiskRefusal::FixedDevice : DiskRefusal::None;
    if (!device.answered)
        return DiskRefusal::NoDescriptor;
    if (!IsRemovableKind(device))
        return DiskRefusal::FixedDevice;
    if (!identity.disk.harddiskObject)
        return DiskRefusal::NotHarddisk;
    if (!identity.disk.systemVolumesKnown)
        return DiskRefusal::SystemUnknown;
    if (identity.disk.carriesSystem)
        return DiskRefusal::CarriesSystem;
    if (device.removableMedia)
        return DiskRefusal::None;
    // A fixed disk on USB, SD or MMC is a stick or card only when Windows
    // says it can be pulled out (an eMMC soldered into a laptop cannot), and
    // while it is no larger than one.
    const HotplugFacts& hotplug = identity.disk.hotplug;
    if (!hotplug.deviceHotplug && !hotplug.mediaRemovable)
        return DiskRefusal::BuiltIn;
    const uint64_t length = identity.disk.length;
    if (length == 0 || length > kFixedStickMaxBytes)
        return DiskRefusal::ExternalDisk;
    return DiskRefusal::None;
}

}  // namespace

DiskRefusal CheckRemovableDisk(const TargetIdentity& identity) {
    const DiskRefusal kind = CheckDiskKind(identity);
    if (kind != DiskRefusal::None)
        return kind;
    // Asked without opening the drive for anything: a medium whose sectors
    // the chunks do not fit is refused before any lock or write.
    if (identity.bytesPerSector != 0 && CheckSectorSize(identity.bytesPerSector).verdict != SectorSizeVerdict::Fits)
        return DiskRefusal::LargeSectors;
    return DiskRefusal::None;
}

bool IsFixedStick(const TargetIdentity& identity) {
    const uint32_t bus = identity.device.busType;
    return identity.target.kind == WriteTargetKind::PhysicalDrive && identity.device.answered &&
           !identity.device.removableMedia && (bus == kBusTypeUsb || bus == kBusTypeSd || bus == kBusTypeMmc) &&
           CheckDiskKind(identity) == DiskRefusal::None;
}

const char* DiskRefusalText(DiskRefusal refusal) {
    switch (refusal) {
        case DiskRefusal::None:
            break;
        case DiskRefusal::FixedDevice:
            return "reports a fixed disk";
        case DiskRefusal::NoDescriptor:
            return "does not say whether it is removable";
        case DiskRefusal::NotHarddisk:
            return "is not a disk object";
        case DiskRefusal::SystemUnknown:
            return "could not be told apart from the volumes Windows needs";
        case DiskRefusal::CarriesSystem:
            return "holds Windows, its boot files or a page file";
        case DiskRefusal::BuiltIn:
            return "is a fixed disk that Windows does not call hot-pluggable (built in)";
        case DiskRefusal::ExternalDisk:
            return "is a fixed disk larger than 256 GiB (an external hard disk) or of no known size";
        case DiskRefusal::LargeSectors:
            return "has sectors that a diskette image's tracks do not fit";
    }
    return "may be written";
}

bool IsIdentifiedDisk(const StorageCalls& calls, StorageHandle disk, const TargetIdentity& identified) {
    // STORAGE_DEVICE_NUMBER: DeviceType, DeviceNumber, PartitionNumber.
    uint32_t number[3] = {};
    uint32_t returned = 0;
    if (calls.control(calls.context, disk, StorageControl::DeviceNumber, number, sizeof(number), &returned) != 0 ||
        returned < sizeof(number) || number[0] != kFileDeviceDisk || number[1] != identified.target.diskNumber)
        return false;
    if (identified.disk.length != 0) {
        alignas(8) uint8_t answer[8] = {};
        uint64_t length = 0;
        if (calls.control(calls.context, disk, StorageControl::LengthInfo, answer, sizeof(answer), &returned) == 0 &&
            returned >= sizeof(answer))
            memcpy(&length, answer, sizeof(length));
        if (length != identified.disk.length)
            return false;
    }
    return identified.device.serial[0] == '\0' ||
           SameSerialDevice(identified.device, AskDeviceDescriptor(calls, disk));
}

bool IsSameDevice(const TargetIdentity& chosen, const TargetIdentity& now) {
    if (chosen.letter == 0 || chosen.letter != now.letter || strcmp(chosen.volume.text, now.volume.text) != 0 ||
        chosen.target.diskKnown != now.target.diskKnown)
        return false;
    return chosen.target.diskKnown ? SameKnownDisk(chosen, now) : SerialsAgree(chosen.device, now.device);
}

bool IsSameDisk(const TargetIdentity& before, const TargetIdentity& now) {
    if (before.letter == 0 || before.letter != now.letter)
        return false;
    if (before.target.diskKnown && now.target.diskKnown)
        return SameKnownDisk(before, now);
    return !before.target.diskKnown && !now.target.diskKnown && now.volume.text[0] != '\0' &&
           strcmp(before.volume.text, now.volume.text) == 0 && SerialsAgree(before.device, now.device);
}
