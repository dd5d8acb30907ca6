#include "write/storage_win32.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>

#include "write/page_files.h"
#include "text/console.h"

namespace {

HANDLE AsHandle(StorageHandle handle) {
    return static_cast<HANDLE>(handle);
}

// The error of the call just made; some calls fail without setting one.
uint32_t Failed() {
    const DWORD error = GetLastError();
    return error != 0 ? error : kErrorInvalidFunction;
}

uint32_t Open(void*, const char* path, StorageAccess access, bool bypassCache, StorageHandle* handle) {
    const DWORD desired = access == StorageAccess::ReadWrite ? GENERIC_READ | GENERIC_WRITE : 0;
    const DWORD flags = bypassCache ? FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH : 0;
    const HANDLE opened =
        CreateFileA(path, desired, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        *handle = nullptr;
        return Failed();
    }
    *handle = opened;
    return 0;
}

DWORD ControlCode(StorageControl code) {
    switch (code) {
        case StorageControl::LockVolume:
            return FSCTL_LOCK_VOLUME;
        case StorageControl::UnlockVolume:
            return FSCTL_UNLOCK_VOLUME;
        case StorageControl::DismountVolume:
            return FSCTL_DISMOUNT_VOLUME;
        case StorageControl::AllowExtendedDasdIo:
            return FSCTL_ALLOW_EXTENDED_DASD_IO;
        case StorageControl::UpdateProperties:
            return IOCTL_DISK_UPDATE_PROPERTIES;
        case StorageControl::IsWritable:
            return IOCTL_DISK_IS_WRITABLE;
        case StorageControl::VolumeDiskExtents:
            return IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS;
        case StorageControl::DriveGeometry:
            return IOCTL_DISK_GET_DRIVE_GEOMETRY;
        case StorageControl::LengthInfo:
            return IOCTL_DISK_GET_LENGTH_INFO;
        case StorageControl::DriveGeometryEx:
            return IOCTL_DISK_GET_DRIVE_GEOMETRY_EX;
        case StorageControl::DeviceNumber:
            return IOCTL_STORAGE_GET_DEVICE_NUMBER;
        case StorageControl::DeviceDescriptor:
            return IOCTL_STORAGE_QUERY_PROPERTY;
        case StorageControl::HotplugInfo:
            return IOCTL_STORAGE_GET_HOTPLUG_INFO;
    }
    return 0;
}

// A drive that Windows answers no length for, but that is a file underneath
// (Wine's drives are), has the file's size as its length.
bool LengthOfFile(HANDLE handle, void* answer, uint32_t answerSize, uint32_t* returned) {
    LARGE_INTEGER size = {};
    if (answerSize < sizeof(size.QuadPart) || !GetFileSizeEx(handle, &size) || size.QuadPart <= 0)
        return false;
    memcpy(answer, &size.QuadPart, sizeof(size.QuadPart));
    *returned = sizeof(size.QuadPart);
    return true;
}

uint32_t Control(void*, StorageHandle handle, StorageControl code, void* answer, uint32_t answerSize,
                 uint32_t* returned) {
    // The one control with input: which property, and that it is asked for.
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    const bool withQuery = code == StorageControl::DeviceDescriptor;
    DWORD filled = 0;
    const BOOL ok = DeviceIoControl(AsHandle(handle), ControlCode(code), withQuery ? &query : nullptr,
                                    withQuery ? sizeof(query) : 0, answer, answerSize, &filled, nullptr);
    const uint32_t error = ok ? 0 : Failed();
    if (!ok && code == StorageControl::LengthInfo && LengthOfFile(AsHandle(handle), answer, answerSize, returned))
        return 0;
    // Some drivers leave the count untouched on failure; never trust more
    // than the room given.
    *returned = (ok || error == kErrorMoreData) && filled <= answerSize ? filled : 0;
    return error;
}

uint32_t Seek(void*, StorageHandle handle, uint64_t offset) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(AsHandle(handle), position, nullptr, FILE_BEGIN) ? 0 : Failed();
}

uint32_t Write(void*, StorageHandle handle, const uint8_t* data, uint32_t size, uint32_t* done) {
    DWORD written = 0;
    const BOOL ok = WriteFile(AsHandle(handle), data, size, &written, nullptr);
    *done = written;
    return ok ? 0 : Failed();
}

uint32_t Read(void*, StorageHandle handle, uint8_t* data, uint32_t size, uint32_t* done) {
    DWORD read = 0;
    const BOOL ok = ReadFile(AsHandle(handle), data, size, &read, nullptr);
    *done = read;
    return ok ? 0 : Failed();
}

uint32_t Flush(void*, StorageHandle handle) {
    return FlushFileBuffers(AsHandle(handle)) ? 0 : Failed();
}

void Close(void*, StorageHandle handle) {
    if (handle != nullptr)
        CloseHandle(AsHandle(handle));
}

uint32_t VolumeName(void*, const char* root, char* name, uint32_t capacity) {
    return GetVolumeNameForVolumeMountPointA(root, name, capacity) ? 0 : Failed();
}

uint32_t ListVolumes(void*, void (*each)(void* user, const char* volumeName), void* user) {
    char name[MAX_PATH] = {};
    const HANDLE search = FindFirstVolumeA(name, sizeof(name));
    if (search == INVALID_HANDLE_VALUE)
        return Failed();
    do {
        name[sizeof(name) - 1] = '\0';
        each(user, name);
    } while (FindNextVolumeA(search, name, sizeof(name)));
    FindVolumeClose(search);
    return 0;
}

uint32_t VolumeLetters(void*, const char* volumeName, char* letters, uint32_t capacity) {
    // Mount points as a list of texts, each ended by a NUL, the list by another.
    char paths[1024] = {};
    DWORD length = 0;
    if (capacity == 0 || !GetVolumePathNamesForVolumeNameA(volumeName, paths, sizeof(paths) - 1, &length))
        return Failed();
    uint32_t used = 0;
    for (const char* path = paths; *path != '\0' && path < paths + sizeof(paths); path += strlen(path) + 1) {
        const bool letterRoot = strlen(path) == 3 && path[1] == ':' && path[2] == '\\';
        if (letterRoot && used + 1 < capacity)
            letters[used++] = path[0];
    }
    letters[used] = '\0';
    return 0;
}

uint32_t DosDevice(void*, const char* name, char* target, uint32_t capacity) {
    if (capacity < 2)
        return kErrorInvalidParameter;
    // The answer is a list of texts; the first is the object the name leads to.
    if (QueryDosDeviceA(name, target, capacity - 1) == 0)
        return Failed();
    target[capacity - 1] = '\0';
    return 0;
}

// Names the volume that `path` ("C:\Windows", "D:\") lies on; false when
// Windows does not say.
bool EachVolumeOfPath(const char* path, void (*each)(void*, const char*), void* user) {
    char root[MAX_PATH] = {};
    char volume[MAX_PATH] = {};
    if (!GetVolumePathNameA(path, root, sizeof(root)) ||
        !GetVolumeNameForVolumeMountPointA(root, volume, sizeof(volume)))
        return false;
    volume[sizeof(volume) - 1] = '\0';
    each(user, volume);
    return true;
}

// A registry value of HKLM as bytes, at most `capacity` of them; 0 when
// missing, too long or of another type.
DWORD ReadMachineValue(const char* key, const char* value, DWORD types, char* data, DWORD capacity) {
    DWORD size = capacity;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key, value, types, nullptr, data, &size) != ERROR_SUCCESS || size > capacity)
        return 0;
    return size;
}

// The system partition (the boot files) as Windows recorded it at setup,
// "\Device\HarddiskVolume1"; its volume is the one whose name leads there.
void EachSystemPartition(void (*each)(void*, const char*), void* user) {
    char partition[MAX_PATH] = {};
    if (ReadMachineValue("SYSTEM\\Setup", "SystemPartition", RRF_RT_REG_SZ, partition, sizeof(partition) - 1) == 0)
        return;
    char name[MAX_PATH] = {};
    const HANDLE search = FindFirstVolumeA(name, sizeof(name));
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        // QueryDosDevice takes "Volume{...}", without "\\?\" and the last backslash.
        name[sizeof(name) - 1] = '\0';
        const size_t length = strlen(name);
        if (length < 6 || name[length - 1] != '\\')
            continue;
        char device[MAX_PATH] = {};
        name[length - 1] = '\0';
        const bool found =
            QueryDosDeviceA(name + 4, device, sizeof(device) - 1) != 0 && _stricmp(device, partition) == 0;
        name[length - 1] = '\\';
        if (found)
            each(user, name);
    } while (FindNextVolumeA(search, name, sizeof(name)));
    FindVolumeClose(search);
}

// Every drive with a page file: those in use, else those configured.
void EachPageFileVolume(void (*each)(void*, const char*), void* user) {
    static const char kKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
    char list[4096] = {};
    DWORD size = ReadMachineValue(kKey, "ExistingPageFiles", RRF_RT_REG_MULTI_SZ, list, sizeof(list));
    if (size == 0)
        size = ReadMachineValue(kKey, "PagingFiles", RRF_RT_REG_MULTI_SZ, list, sizeof(list));
    char letters[27] = {};
    AddPageFileLetters(list, size, letters, sizeof(letters));
    for (const char* letter = letters; *letter != '\0'; ++letter) {
        const char root[] = {*letter, ':', '\\', '\0'};
        if (!EachVolumeOfPath(root, each, user))
            ConsolePrint("The page file's drive %c: names no volume.\n", *letter);
    }
}

uint32_t SystemVolumes(void*, void (*each)(void* user, const char* volumeName), void* user) {
    char windows[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryA(windows, sizeof(windows));
    if (length == 0 || length >= sizeof(windows) || !EachVolumeOfPath(windows, each, user))
        return Failed();
    EachSystemPartition(each, user);
    EachPageFileVolume(each, user);
    return 0;
}

void Pause(void*, uint32_t milliseconds) {
    Sleep(milliseconds);
}

uint64_t ClockMs(void*) {
    return GetTickCount64();
}

void Note(void*, const char* line) {
    ConsolePrint("%s\n", line);
}

uint32_t FormatCylinder(void*, StorageHandle handle, uint32_t mediaType, uint32_t cylinder, uint32_t* badTracks) {
    FORMAT_PARAMETERS format = {static_cast<MEDIA_TYPE>(mediaType), cylinder, cylinder, 0, 1};
    // Room for every track the call formats to come back bad.
    BAD_TRACK_NUMBER bad[2] = {};
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(AsHandle(handle), IOCTL_DISK_FORMAT_TRACKS, &format, sizeof(format), bad,
                                    sizeof(bad), &returned, nullptr);
    *badTracks = ok ? returned / sizeof(BAD_TRACK_NUMBER) : 0;
    return ok ? 0 : Failed();
}

const StorageCalls kCalls = {Open,        Control,       Seek,      Write,         Read,  Flush,   Close, VolumeName,
                             ListVolumes, VolumeLetters, DosDevice, SystemVolumes, Pause, ClockMs, Note,
                             FormatCylinder, nullptr};

}  // namespace

const StorageCalls& Win32StorageCalls() {
    return kCalls;
}
