#include "install/target_device.h"

#include <winioctl.h>

#include <cstdio>
#include <cstring>

#include "install/volume_prep.h"
#include "install/write_target.h"

namespace {

// Room for the extents of a volume over a few disks; more means "spanned".
constexpr DWORD kExtentsAnswerSize = 8 + 8 * 24;
constexpr unsigned kLockTries = 50;
constexpr unsigned kLockPauseMs = 100;  // about 5 s in all

HANDLE OpenForWriting(const char* path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

WriteTarget AskWriteTarget(char letter, HANDLE volume) {
    alignas(8) uint8_t answer[kExtentsAnswerSize] = {};
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, answer, sizeof(answer),
                                    &returned, nullptr);
    const bool answered = ok || GetLastError() == ERROR_MORE_DATA;
    return ChooseWriteTarget(letter, answered, answer, returned <= sizeof(answer) ? returned : 0);
}

uint32_t AskSectorSize(HANDLE device) {
    alignas(8) uint8_t answer[sizeof(DISK_GEOMETRY)] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(device, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, answer, sizeof(answer), &returned, nullptr))
        return 0;
    return BytesPerSectorFromGeometry(answer, returned <= sizeof(answer) ? returned : 0);
}

// True when one of the volume's extents lies on disk `diskNumber`.
bool VolumeIsOnDisk(HANDLE volume, uint32_t diskNumber) {
    alignas(8) uint8_t answer[kExtentsAnswerSize] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, answer, sizeof(answer), &returned,
                         nullptr) ||
        returned < 8)
        return false;
    const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(answer);
    const DWORD fit = (returned - 8) / sizeof(DISK_EXTENT);
    for (DWORD i = 0; i < extents->NumberOfDiskExtents && i < fit; ++i)
        if (extents->Extents[i].DiskNumber == diskNumber)
            return true;
    return false;
}

// Opens every other volume of the disk, so that all of them can be locked.
// False when the disk has more volumes than can be held.
bool HoldOtherVolumesOfDisk(char letter, uint32_t diskNumber, TargetDevice* device) {
    const char root[] = {letter, ':', '\\', '\0'};
    char ownName[MAX_PATH] = {};
    GetVolumeNameForVolumeMountPointA(root, ownName, sizeof(ownName));

    char name[MAX_PATH];
    const HANDLE search = FindFirstVolumeA(name, sizeof(name));
    if (search == INVALID_HANDLE_VALUE)
        return true;
    bool allHeld = true;
    do {
        if (_stricmp(name, ownName) == 0)
            continue;  // held already
        // \\?\Volume{...}\ opens the volume device only without its last backslash.
        const size_t length = strlen(name);
        if (length > 0 && name[length - 1] == '\\')
            name[length - 1] = '\0';
        const HANDLE volume = OpenForWriting(name);
        if (volume == INVALID_HANDLE_VALUE)
            continue;
        if (!VolumeIsOnDisk(volume, diskNumber)) {
            CloseHandle(volume);
        } else if (device->volumeCount < kMaxHeldVolumes) {
            device->volumes[device->volumeCount++] = volume;
        } else {
            CloseHandle(volume);
            allHeld = false;
        }
    } while (FindNextVolumeA(search, name, sizeof(name)));
    FindVolumeClose(search);
    return allHeld;
}

bool LockVolume(void* context, unsigned index) {
    DWORD returned = 0;
    return DeviceIoControl(static_cast<TargetDevice*>(context)->volumes[index], FSCTL_LOCK_VOLUME, nullptr, 0, nullptr,
                           0, &returned, nullptr) != 0;
}

bool DismountVolume(void* context, unsigned index) {
    DWORD returned = 0;
    return DeviceIoControl(static_cast<TargetDevice*>(context)->volumes[index], FSCTL_DISMOUNT_VOLUME, nullptr, 0,
                           nullptr, 0, &returned, nullptr) != 0;
}

void PauseMs(void*, unsigned milliseconds) {
    Sleep(milliseconds);
}

void CloseHeldVolumes(TargetDevice* device) {
    for (unsigned i = 0; i < device->volumeCount; ++i) {
        DWORD returned = 0;
        DeviceIoControl(device->volumes[i], FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
        CloseHandle(device->volumes[i]);
    }
    device->volumeCount = 0;
}

bool SeekTarget(void* context, uint64_t offset) {
    auto* device = static_cast<TargetDevice*>(context);
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (SetFilePointerEx(device->handle, position, nullptr, FILE_BEGIN))
        return true;
    device->lastError = GetLastError();
    return false;
}

bool WriteChunk(void* context, const uint8_t* data, uint32_t size, uint32_t* written) {
    auto* device = static_cast<TargetDevice*>(context);
    DWORD done = 0;
    const BOOL ok = WriteFile(device->handle, data, size, &done, nullptr);
    *written = done;
    if (!ok)
        device->lastError = GetLastError();
    return ok != 0;
}

}  // namespace

TargetOpenOutcome OpenTargetDevice(char letter, TargetDevice* device) {
    *device = TargetDevice{};
    device->handle = INVALID_HANDLE_VALUE;
    const DevicePath volumePath = VolumeDevicePath(letter);
    const HANDLE volume = volumePath.text[0] != '\0' ? OpenForWriting(volumePath.text) : INVALID_HANDLE_VALUE;
    if (volume == INVALID_HANDLE_VALUE)
        return TargetOpenOutcome::CannotOpen;
    device->volumes[device->volumeCount++] = volume;

    const WriteTarget target = AskWriteTarget(letter, volume);
    printf("Write target: %s\n", target.kind == WriteTargetKind::Refused ? "refused" : target.path.text);
    if (target.kind == WriteTargetKind::Refused) {
        CloseHeldVolumes(device);
        return TargetOpenOutcome::Spanned;
    }
    if (CheckSectorSize(AskSectorSize(volume)).verdict != SectorSizeVerdict::Fits) {
        CloseHeldVolumes(device);
        return TargetOpenOutcome::LargeSectors;
    }
    if (target.kind == WriteTargetKind::PhysicalDrive && !HoldOtherVolumesOfDisk(letter, target.diskNumber, device)) {
        CloseHeldVolumes(device);
        return TargetOpenOutcome::InUse;
    }

    const VolumeControl control = {LockVolume, DismountVolume, PauseMs, device};
    const PrepareResult prepared = LockAndDismount(control, device->volumeCount, kLockTries, kLockPauseMs);
    if (prepared.outcome == PrepareOutcome::InUse) {
        printf("A volume of drive %c: could not be locked (error %lu).\n", letter, GetLastError());
        CloseHeldVolumes(device);
        return TargetOpenOutcome::InUse;
    }
    if (prepared.dismountFailures > 0)
        printf("%u volume(s) could not be dismounted; they stay locked.\n", prepared.dismountFailures);

    if (target.kind == WriteTargetKind::Volume) {
        device->handle = volume;
        device->handleIsVolume = true;
        return TargetOpenOutcome::Opened;
    }
    device->handle = OpenForWriting(target.path.text);
    if (device->handle == INVALID_HANDLE_VALUE) {
        CloseHeldVolumes(device);
        return TargetOpenOutcome::CannotOpen;
    }
    if (CheckSectorSize(AskSectorSize(device->handle)).verdict != SectorSizeVerdict::Fits) {
        CloseTargetDevice(device);
        return TargetOpenOutcome::LargeSectors;
    }
    return TargetOpenOutcome::Opened;
}

WriteDevice TargetWriteDevice(TargetDevice* device) {
    return WriteDevice{SeekTarget, WriteChunk, device};
}

bool CloseTargetDevice(TargetDevice* device) {
    bool flushed = true;
    if (device->handle != INVALID_HANDLE_VALUE) {
        flushed = FlushFileBuffers(device->handle) != 0;
        if (!flushed)
            device->lastError = GetLastError();
        if (!device->handleIsVolume)
            CloseHandle(device->handle);
        device->handle = INVALID_HANDLE_VALUE;
    }
    CloseHeldVolumes(device);
    return flushed;
}
