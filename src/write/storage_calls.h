// The Windows storage calls that preparing, writing and reading back a drive
// need, as a table of functions. The program passes the real calls; the
// native tests pass a model of Windows' storage stack.
//
// Every call returns the Win32 error it ended with, 0 on success, so that a
// decision never rests on a GetLastError that a later call has overwritten.
#pragma once

#include <cstdint>

// An open device; null for none.
using StorageHandle = void*;

// Win32 error numbers the decisions look at.
constexpr uint32_t kErrorInvalidFunction = 1;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorWriteProtect = 19;
constexpr uint32_t kErrorSectorNotFound = 27;
constexpr uint32_t kErrorNotReady = 21;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kErrorNoMediaInDrive = 1112;
constexpr uint32_t kErrorUnrecognizedMedia = 1785;

enum class StorageAccess {
    Query,      // access 0: device queries only, never reads or writes
    ReadWrite,  // GENERIC_READ | GENERIC_WRITE
};

// The device controls used, each with its output laid out as Windows lays it.
enum class StorageControl {
    LockVolume,           // FSCTL_LOCK_VOLUME
    UnlockVolume,         // FSCTL_UNLOCK_VOLUME
    DismountVolume,       // FSCTL_DISMOUNT_VOLUME
    AllowExtendedDasdIo,  // FSCTL_ALLOW_EXTENDED_DASD_IO
    UpdateProperties,     // IOCTL_DISK_UPDATE_PROPERTIES
    IsWritable,           // IOCTL_DISK_IS_WRITABLE
    VolumeDiskExtents,    // IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS: VOLUME_DISK_EXTENTS
    DriveGeometry,        // IOCTL_DISK_GET_DRIVE_GEOMETRY: DISK_GEOMETRY
    LengthInfo,           // IOCTL_DISK_GET_LENGTH_INFO: one 64-bit length
    DriveGeometryEx,      // IOCTL_DISK_GET_DRIVE_GEOMETRY_EX: DISK_GEOMETRY_EX (the disk's length at byte 24)
    DeviceNumber,         // IOCTL_STORAGE_GET_DEVICE_NUMBER: STORAGE_DEVICE_NUMBER
    // IOCTL_STORAGE_QUERY_PROPERTY asking StorageDeviceProperty with
    // PropertyStandardQuery (the call supplies that input): STORAGE_DEVICE_DESCRIPTOR
    DeviceDescriptor,
    HotplugInfo,          // IOCTL_STORAGE_GET_HOTPLUG_INFO: STORAGE_HOTPLUG_INFO
};

struct StorageCalls {
    // CreateFileA with FILE_SHARE_READ | FILE_SHARE_WRITE and OPEN_EXISTING;
    // `bypassCache` adds FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH.
    uint32_t (*open)(void* context, const char* path, StorageAccess access, bool bypassCache, StorageHandle* handle);
    // DeviceIoControl without input; `returned` gets the bytes filled in.
    uint32_t (*control)(void* context, StorageHandle handle, StorageControl code, void* answer, uint32_t answerSize,
                        uint32_t* returned);
    uint32_t (*seek)(void* context, StorageHandle handle, uint64_t offset);  // absolute
    uint32_t (*write)(void* context, StorageHandle handle, const uint8_t* data, uint32_t size, uint32_t* done);
    uint32_t (*read)(void* context, StorageHandle handle, uint8_t* data, uint32_t size, uint32_t* done);
    uint32_t (*flush)(void* context, StorageHandle handle);
    void (*close)(void* context, StorageHandle handle);
    // GetVolumeNameForVolumeMountPointA: "\\?\Volume{...}\" for a root "E:\".
    uint32_t (*volumeName)(void* context, const char* root, char* name, uint32_t capacity);
    // FindFirstVolumeA / FindNextVolumeA: calls `each` with every volume name.
    uint32_t (*listVolumes)(void* context, void (*each)(void* user, const char* volumeName), void* user);
    // GetVolumePathNamesForVolumeNameA, reduced to the drive letters among
    // the volume's mount points, as text ("EF"; "" for none).
    uint32_t (*volumeLetters)(void* context, const char* volumeName, char* letters, uint32_t capacity);
    // QueryDosDeviceA of a device name ("PhysicalDrive1"): the first object
    // it names ("\Device\Harddisk1\DR1").
    uint32_t (*dosDevice)(void* context, const char* name, char* target, uint32_t capacity);
    // Calls `each` with the name of every volume Windows cannot do without:
    // the one holding the Windows folder, the system partition it boots from
    // and every volume with a page file. Fails when not even the Windows
    // folder's volume is known.
    uint32_t (*systemVolumes)(void* context, void (*each)(void* user, const char* volumeName), void* user);
    void (*pause)(void* context, uint32_t milliseconds);
    uint64_t (*clockMs)(void* context);  // a millisecond count, for the trace
    // One English line for the console trace.
    void (*note)(void* context, const char* line);
    // IOCTL_DISK_FORMAT_TRACKS: both sides of diskette `cylinder` formatted
    // as `mediaType`; `badTracks` gets how many bad tracks it answered.
    uint32_t (*formatCylinder)(void* context, StorageHandle handle, uint32_t mediaType, uint32_t cylinder,
                               uint32_t* badTracks);
    void* context;
};
