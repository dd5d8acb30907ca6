#include "devices/usb_restart.h"

#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>
#include <winioctl.h>

#include <atomic>

#include "devices/device_path.h"
#include "devices/wow64.h"
#include "shell/app_state.h"
#include "text/console.h"

static_assert(kDicsPropChange == DICS_PROPCHANGE && kDicsFlagConfigSpecific == DICS_FLAG_CONFIGSPECIFIC,
              "the plan speaks SP_PROPCHANGE_PARAMS' values");
static_assert(kFileDeviceDisk == FILE_DEVICE_DISK, "the plan speaks FILE_DEVICE_* values");
static_assert(kDeviceIdCapacity >= MAX_DEVICE_ID_LEN + 1, "room for every instance id");

namespace {

// {53F56307-B6BF-11D0-94F2-00A0C91EFB8B}, {53F56311-B6BF-11D0-94F2-00A0C91EFB8B}
const GUID kDiskInterface = {0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
const GUID kFloppyInterface = {0x53F56311, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
constexpr DWORD kDetailAreaSize = 1024;
// After the console is closed Windows ends the process on a time-out of its
// own; Ctrl+C waits up to this long. (A log-off reaches the window instead:
// interactive programs get no CTRL_LOGOFF_EVENT.)
constexpr unsigned kConsoleExitWaitMs = 30000;

// Devices between their stop and their start again, and whether the process
// is on its way out. Both sequentially consistent: either a restart sees the
// exit coming, or the exit sees the restart.
std::atomic<int> g_devicesHeld{0};
std::atomic<bool> g_exiting{false};
std::atomic<bool> g_consoleHandlerSet{false};

// The type and number of the device behind a volume or interface handle.
bool QueryDeviceNumber(HANDLE device, STORAGE_DEVICE_NUMBER* answer) {
    DWORD returned = 0;
    return DeviceIoControl(device, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, answer, sizeof(*answer), &returned,
                           nullptr) &&
           returned >= sizeof(*answer);
}

// What drive `letter` says about its device; `name` receives the letter's
// target in the object namespace.
VolumeAnswer QueryVolume(char letter, char* name, DWORD nameSize) {
    VolumeAnswer answer = {};
    const char dosName[3] = {letter, ':', '\0'};
    if (QueryDosDeviceA(dosName, name, nameSize) != 0)
        answer.ntDeviceName = name;
    const DevicePath path = VolumeDevicePath(letter);
    // Access 0: a query needs no rights, and so no medium in the drive.
    const HANDLE volume =
        CreateFileA(path.text, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE)
        return answer;
    STORAGE_DEVICE_NUMBER number = {};
    if (QueryDeviceNumber(volume, &number)) {
        answer.numbered = true;
        answer.deviceType = number.DeviceType;
        answer.deviceNumber = number.DeviceNumber;
    }
    CloseHandle(volume);
    return answer;
}

// Whether one interface of `set` has this device type and number; its
// device node goes to `node`.
bool InterfaceMatches(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* interfaceData, uint32_t type, uint32_t number,
                      DeviceNode* node) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set, interfaceData, nullptr, 0, &required, nullptr);
    // A path that does not fit the detail area is passed over, not truncated.
    if (required == 0 || required > kDetailAreaSize)
        return false;
    alignas(8) unsigned char area[kDetailAreaSize] = {};
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(area);
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    SP_DEVINFO_DATA deviceData = {};
    deviceData.cbSize = sizeof(deviceData);
    if (!SetupDiGetDeviceInterfaceDetailA(set, interfaceData, detail, required, &required, &deviceData))
        return false;
    const HANDLE device =
        CreateFileA(detail->DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    STORAGE_DEVICE_NUMBER answer = {};
    const bool matches =
        QueryDeviceNumber(device, &answer) && answer.DeviceType == type && answer.DeviceNumber == number;
    CloseHandle(device);
    if (matches)
        *node = deviceData.DevInst;
    return matches;
}

bool FindStorage(void*, StorageKind kind, uint32_t type, uint32_t number, DeviceNode* node) {
    // Disks and diskette drives are numbered apart: look only among the kind's own interfaces.
    const GUID* interfaceClass = kind == StorageKind::Floppy ? &kFloppyInterface : &kDiskInterface;
    const HDEVINFO set = SetupDiGetClassDevsA(interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return false;
    SP_DEVICE_INTERFACE_DATA interfaceData = {};
    interfaceData.cbSize = sizeof(interfaceData);
    bool found = false;
    for (DWORD index = 0; !found && SetupDiEnumDeviceInterfaces(set, nullptr, interfaceClass, index, &interfaceData);
         ++index)
        found = InterfaceMatches(set, &interfaceData, type, number, node);
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

bool Parent(void*, DeviceNode node, DeviceNode* parent) {
    DEVINST up = 0;
    if (CM_Get_Parent(&up, node, 0) != CR_SUCCESS)
        return false;
    *parent = up;
    return true;
}

bool FirstChild(void*, DeviceNode node, DeviceNode* child) {
    DEVINST first = 0;
    if (CM_Get_Child(&first, node, 0) != CR_SUCCESS)
        return false;
    *child = first;
    return true;
}

bool NextSibling(void*, DeviceNode node, DeviceNode* sibling) {
    DEVINST next = 0;
    if (CM_Get_Sibling(&next, node, 0) != CR_SUCCESS)
        return false;
    *sibling = next;
    return true;
}

bool Describe(void*, DeviceNode node, DeviceNodeInfo* info) {
    if (CM_Get_Device_IDA(node, info->instanceId, sizeof(info->instanceId), 0) != CR_SUCCESS)
        return false;
    ULONG size = sizeof(info->service);
    if (CM_Get_DevNode_Registry_PropertyA(node, CM_DRP_SERVICE, nullptr, info->service, &size, 0) != CR_SUCCESS)
        info->service[0] = '\0';
    return true;
}

bool Locate(void*, const char* instanceId, DeviceNode* node) {
    DEVINST found = 0;
    // Normal, not phantom: only a device that is present now.
    if (CM_Locate_DevNodeA(&found, const_cast<char*>(instanceId), CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS)
        return false;
    *node = found;
    return true;
}

// Reads back what Windows made of a state change that the class installer
// accepted: a stop it put off leaves DI_NEEDRESTART or DI_NEEDREBOOT.
void ReadInstallParams(HDEVINFO set, SP_DEVINFO_DATA* device, StateChangeAnswer* answer) {
    SP_DEVINSTALL_PARAMS_A params = {};
    params.cbSize = sizeof(params);
    answer->paramsRead = SetupDiGetDeviceInstallParamsA(set, device, &params) != FALSE;
    if (!answer->paramsRead) {
        answer->error = GetLastError();
        return;
    }
    answer->needRestart = (params.Flags & DI_NEEDRESTART) != 0;
    answer->needReboot = (params.Flags & DI_NEEDREBOOT) != 0;
}

StateChangeAnswer ChangeState(void*, DeviceNode node, uint32_t stateChange, uint32_t scope) {
    StateChangeAnswer answer = {};
    char instanceId[MAX_DEVICE_ID_LEN + 1] = {};
    if (CM_Get_Device_IDA(node, instanceId, sizeof(instanceId), 0) != CR_SUCCESS)
        return answer;
    const HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE) {
        answer.error = GetLastError();
        return answer;
    }
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    SP_PROPCHANGE_PARAMS params = {};
    params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    params.StateChange = stateChange;
    params.Scope = scope;
    params.HwProfile = 0;  // the current hardware profile
    answer.installerDone = SetupDiOpenDeviceInfoA(set, instanceId, nullptr, 0, &device) &&
                           SetupDiSetClassInstallParamsA(set, &device, &params.ClassInstallHeader, sizeof(params)) &&
                           SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &device);
    if (answer.installerDone)
        ReadInstallParams(set, &device, &answer);
    else
        answer.error = GetLastError();
    SetupDiDestroyDeviceInfoList(set);
    return answer;
}

bool IsRunning(void*, DeviceNode node) {
    ULONG status = 0;
    ULONG problem = 0;
    return CM_Get_DevNode_Status(&status, &problem, node, 0) == CR_SUCCESS && (status & DN_STARTED) != 0 &&
           (status & DN_HAS_PROBLEM) == 0;
}

bool HoldExit(void*) {
    ++g_devicesHeld;
    if (!g_exiting)
        return true;
    --g_devicesHeld;
    return false;
}

void ReleaseExit(void*) {
    --g_devicesHeld;
}
void Pause(void*, unsigned milliseconds) {
    Sleep(milliseconds);
}
void Note(void*, const char* line) {
    ConsolePrint("%s", line);
}
bool UnderWow64(void*) {
    return RunsUnderWow64();
}
bool NativeArm64(void*) {
    return NativeMachineIsArm64();
}

const DeviceTree kWindowsTree = {FindStorage, Parent,   FirstChild,  NextSibling, Describe, Locate,     ChangeState,
                                 IsRunning,   HoldExit, ReleaseExit, Pause,       Note,     nullptr,    UnderWow64,
                                 NativeArm64};

// Handlers run last-registered first, so this one answers before the
// writer's, which keeps the process for a Ctrl+C during a write. An event that
// ends the process stops restarts for good and waits for a stopped device;
// any other is passed on untouched, and the write restarts its device.
BOOL WINAPI OnConsoleControl(DWORD event) {
    const ConsoleEvent kind =
        event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? ConsoleEvent::Interrupt : ConsoleEvent::Close;
    if (!ConsoleEventEndsProcess(kind, IsWriteActive() != 0))
        return FALSE;
    if (g_devicesHeld > 0)
        ConsolePrint("Waiting for the USB device to run again before ending...\n");
    FinishUsbRestartsBeforeExit(kConsoleExitWaitMs);
    return FALSE;  // the default handler then ends the process
}

char SystemDriveLetter() {
    char windows[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryA(windows, sizeof(windows));
    return length >= 2 && length < sizeof(windows) && windows[1] == ':' ? windows[0] : '\0';
}

}  // namespace

void FinishUsbRestartsBeforeExit(unsigned maxWaitMs) {
    g_exiting = true;
    for (unsigned waited = 0; g_devicesHeld > 0 && waited < maxWaitMs; waited += 10)
        Sleep(10);
}

UsbRestartPlan FindUsbDeviceToRestart(char letter) {
    char targetName[MAX_PATH] = {};
    char systemName[MAX_PATH] = {};
    const VolumeAnswer target = QueryVolume(letter, targetName, sizeof(targetName));
    const char systemLetter = SystemDriveLetter();
    const VolumeAnswer system =
        systemLetter != '\0' ? QueryVolume(systemLetter, systemName, sizeof(systemName)) : VolumeAnswer{};
    const UsbRestartPlan plan = PlanUsbRestart(letter, target, system, kWindowsTree);
    // Watched from before the write: a console closed during it ends the
    // process within seconds, and no restart may begin then.
    if (plan.found && !g_consoleHandlerSet.exchange(true))
        SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    return plan;
}

UsbRestartOutcome RestartUsbDevice(const UsbRestartPlan& plan) {
    return RunUsbRestart(plan, kWindowsTree);
}
