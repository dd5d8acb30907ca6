// Finding the USB device that carries a drive, before the write, and
// restarting it once afterwards. Windows' device tree is reached through a
// table of functions, so the same decisions run against a model in tests.
#pragma once

#include <cstddef>
#include <cstdint>

// A device instance id (at most 200 characters) and its terminator.
constexpr size_t kDeviceIdCapacity = 201;
// A service name and its terminator.
constexpr size_t kServiceNameCapacity = 64;

// FILE_DEVICE_DISK, the device type of disks and diskette drives alike.
constexpr uint32_t kFileDeviceDisk = 7;
// SP_PROPCHANGE_PARAMS: DICS_PROPCHANGE stops the device and starts it again
// without leaving a flag behind; Windows ignores the scope for it, which must
// still be a valid one.
constexpr uint32_t kDicsPropChange = 3;
constexpr uint32_t kDicsFlagConfigSpecific = 2;

// Disks and diskette drives are numbered apart: the first diskette drive and
// PhysicalDrive0 both have device number 0.
enum class StorageKind { None, Disk, Floppy };

// What a drive letter told about the device under it.
struct VolumeAnswer {
    bool numbered;             // IOCTL_STORAGE_GET_DEVICE_NUMBER answered in full
    uint32_t deviceType;       // its FILE_DEVICE_* type
    uint32_t deviceNumber;     // its device number
    const char* ntDeviceName;  // the letter's target, such as \Device\HarddiskVolume7; null when unknown
};

// Which numbering a volume's device number belongs to; None when the volume
// is neither on a disk nor a diskette drive, or cannot say.
StorageKind StorageKindOf(const VolumeAnswer& volume);

// A device node: a DEVINST on Windows.
using DeviceNode = uint32_t;

struct DeviceNodeInfo {
    char instanceId[kDeviceIdCapacity];
    char service[kServiceNameCapacity];  // function driver, such as USBSTOR, UASPStor or USBHUB3; may be empty
};

// What Windows answered to a state change through the class installer.
struct StateChangeAnswer {
    bool installerDone = false;  // SetupDiCallClassInstaller returned TRUE
    uint32_t error = 0;          // the last error of a call that failed
    bool paramsRead = false;     // SetupDiGetDeviceInstallParams answered afterwards
    bool needRestart = false;    // DI_NEEDRESTART: Windows could not make the change now
    bool needReboot = false;     // DI_NEEDREBOOT: the change waits for a reboot
};

// The device tree. Every call returns false when it has no answer.
struct DeviceTree {
    // The node of the disk (Disk) or diskette (Floppy) interface whose own
    // device-number answer has this type and number.
    bool (*findStorage)(void* context, StorageKind kind, uint32_t deviceType, uint32_t number, DeviceNode* node);
    bool (*parent)(void* context, DeviceNode node, DeviceNode* parent);
    bool (*firstChild)(void* context, DeviceNode node, DeviceNode* child);
    bool (*nextSibling)(void* context, DeviceNode node, DeviceNode* sibling);
    bool (*describe)(void* context, DeviceNode node, DeviceNodeInfo* info);
    // A present device by its instance id.
    bool (*locate)(void* context, const char* instanceId, DeviceNode* node);
    // A state change through the class installer (the DICS_* values of
    // SP_PROPCHANGE_PARAMS).
    StateChangeAnswer (*changeState)(void* context, DeviceNode node, uint32_t stateChange, uint32_t scope);
    // Started and without a problem.
    bool (*isRunning)(void* context, DeviceNode node);
    // While held, the process does not end before the device runs again.
    // holdExit returns false when the process is already ending.
    bool (*holdExit)(void* context);
    void (*releaseExit)(void* context);
    void (*pause)(void* context, unsigned milliseconds);
    void (*note)(void* context, const char* line);  // one console line
    void* context;
    // A 32-bit program on 64-bit Windows: the class installer refuses every
    // state change (ERROR_IN_WOW64), so none is asked for.
    bool (*underWow64)(void* context);
    // Windows runs on ARM64, where the 64-bit program may not run either;
    // null: it does not.
    bool (*nativeArm64)(void* context);
};

// The console lines of one plan: the devices named, a card reader's slots.
constexpr size_t kPlanLinesCapacity = 4096;

// The USB device to restart after a write: a plain value, kept from before
// the write until after it. Its console lines wait in `lines` for the
// restart, so that a write that never happens says nothing about one.
struct UsbRestartPlan {
    char letter;
    bool found;                          // false: nothing will be restarted
    char instanceId[kDeviceIdCapacity];  // the USB device; empty when not found
    char lines[kPlanLinesCapacity];      // whole lines only
    bool linesCut;                       // some lines did not fit
};

enum class UsbRestartOutcome {
    Restarted,         // stopped and running again
    NotRestarted,      // still running as before: Windows would not stop it now
    Failed,            // stopped, and it did not run again
    NothingToRestart,  // no USB device to restart, or the program is ending
};
// NotRestarted also when the program cannot restart devices at all (the
// 32-bit program on 64-bit Windows): nothing is tried then.

// How often a restart is tried, and how long each waits for the device.
constexpr unsigned kRestartAttempts = 3;
constexpr unsigned kRunningPolls = 50;
constexpr unsigned kRunningPollMs = 100;

// Finds the USB device that the disk or diskette drive under `letter` hangs
// on: the storage node with the volume's kind and number, then up through its
// parents to the nearest node that USB enumerated. Nothing is found when the
// volume cannot say where it lives, when no USB node is above it, when that
// node is a hub, or when it also carries the Windows volume `system`. Its
// lines name the devices, and any other drive that would restart with it.
UsbRestartPlan PlanUsbRestart(char letter, const VolumeAnswer& target, const VolumeAnswer& system,
                              const DeviceTree& tree);

// Notes the plan's lines, restarts the planned device with DICS_PROPCHANGE
// and waits until it runs again, finding it by its instance id at every look:
// the restart may give it a new device node. A device that stays down, or a change the
// class installer refused, is tried again (up to kRestartAttempts); a stop
// that Windows vetoed (a program holds the device) ends the restart at once.
UsbRestartOutcome RunUsbRestart(const UsbRestartPlan& plan, const DeviceTree& tree);

// A console control event: Ctrl+C or Ctrl+Break, or the console closing
// (a log-off and a shutdown mean the same).
enum class ConsoleEvent { Interrupt, Close };

// Whether the process ends once every console handler has answered `event`.
// During a write the writer's handler turns an interrupt into closing the
// window after the write, restart included; anything else ends the process.
bool ConsoleEventEndsProcess(ConsoleEvent event, bool writeActive);
