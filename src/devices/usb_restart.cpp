#include "devices/usb_restart.h"

#include <initguid.h>
#include <devguid.h>
#include <objbase.h>
#include <winioctl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "devices/instance_ids.h"
#include "install/write_target.h"

namespace {

// {53F56307-B6BF-11D0-94F2-00A0C91EFB8B}
const GUID kDiskInterface = {0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
const wchar_t kUsbClassText[] = L"{36FC9E60-C465-11CF-8056-444553540000}";
constexpr DWORD kDetailAreaSize = 1024;
constexpr DWORD kInstanceIdSize = 1024;

// Devices between their disable and their enable, and whether the process is
// on its way out. Both sequentially consistent: either a restart sees the
// exit coming, or the exit sees the restart.
std::atomic<int> g_devicesHeld{0};
std::atomic<bool> g_exiting{false};

bool HoldDevice() {
    ++g_devicesHeld;
    if (!g_exiting)
        return true;
    --g_devicesHeld;
    return false;
}

// The device number of the disk behind a volume or disk handle, or false.
bool QueryDeviceNumber(HANDLE device, DWORD* number) {
    STORAGE_DEVICE_NUMBER answer = {};
    DWORD returned = 0;
    if (!DeviceIoControl(device, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &answer, sizeof(answer), &returned,
                         nullptr) ||
        returned < sizeof(answer))
        return false;
    *number = answer.DeviceNumber;
    return true;
}

// Looks at one disk interface; fills `serial` when it is the volume's disk.
void MatchDiskInterface(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* interfaceData, DWORD volumeNumber, char letter,
                        UsbSerial* serial) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set, interfaceData, nullptr, 0, &required, nullptr);
    // A path that does not fit the detail area is passed over, not truncated.
    if (required == 0 || required > kDetailAreaSize)
        return;
    alignas(8) unsigned char area[kDetailAreaSize] = {};
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(area);
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    SP_DEVINFO_DATA deviceData = {};
    deviceData.cbSize = sizeof(deviceData);
    if (!SetupDiGetDeviceInterfaceDetailA(set, interfaceData, detail, required, &required, &deviceData))
        return;

    const HANDLE disk =
        CreateFileA(detail->DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (disk == INVALID_HANDLE_VALUE)
        return;
    DWORD diskNumber = 0;
    if (QueryDeviceNumber(disk, &diskNumber) && diskNumber == volumeNumber) {
        char instanceId[kInstanceIdSize] = {};
        if (SetupDiGetDeviceInstanceIdA(set, &deviceData, instanceId, sizeof(instanceId), nullptr)) {
            *serial = SerialFromDiskInstanceId(instanceId, sizeof(instanceId));
            printf("[%c] is %s \n", letter, instanceId);
        }
    }
    CloseHandle(disk);
}

// The serial of the disk that holds drive `letter`; not Found when unknown.
UsbSerial FindDiskSerial(char letter) {
    UsbSerial serial = {};
    serial.verdict = SerialVerdict::Empty;
    const DevicePath path = VolumeDevicePath(letter);
    const HANDLE volume = CreateFileA(path.text, 0, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE)
        return serial;
    DWORD volumeNumber = 0;
    if (QueryDeviceNumber(volume, &volumeNumber)) {
        const HDEVINFO set =
            SetupDiGetClassDevsA(&kDiskInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set != INVALID_HANDLE_VALUE) {
            SP_DEVICE_INTERFACE_DATA interfaceData = {};
            interfaceData.cbSize = sizeof(interfaceData);
            for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &kDiskInterface, index, &interfaceData);
                 ++index)
                MatchDiskInterface(set, &interfaceData, volumeNumber, letter, &serial);
            SetupDiDestroyDeviceInfoList(set);
        }
    }
    CloseHandle(volume);
    return serial;
}

// Prints what SetupAPI asks of the user after a state change.
void ReportRestartNeeds(HDEVINFO set, SP_DEVINFO_DATA* device) {
    SP_DEVINSTALL_PARAMS_A params = {};
    params.cbSize = sizeof(params);
    if (!SetupDiGetDeviceInstallParamsA(set, device, &params))
        return;
    if (params.Flags & DI_NEEDREBOOT)
        printf("Windows asks for a reboot to finish restarting the device.\n");
    else if (params.Flags & DI_NEEDRESTART)
        printf("Windows asks for a restart of the device to finish.\n");
}

void RestartMatchingDevice(HDEVINFO set, SP_DEVINFO_DATA* device, char letter, const char* instanceId) {
    printf("[%c] is %s \n", letter, instanceId);
    // Held from before the disable until after the enable, so that a closing
    // window does not end the process with the device switched off.
    if (!HoldDevice())
        return;
    if (ChangeDeviceState(set, device, 0) == 1)
        ChangeDeviceState(set, device, 1);
    --g_devicesHeld;
}

}  // namespace

void FinishUsbRestartsBeforeExit(unsigned maxWaitMs) {
    g_exiting = true;
    for (unsigned waited = 0; g_devicesHeld > 0 && waited < maxWaitMs; waited += 10)
        Sleep(10);
}

int ChangeDeviceState(HDEVINFO set, SP_DEVINFO_DATA* device, int enable) {
    SP_PROPCHANGE_PARAMS params = {};
    params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    params.StateChange = enable == 1 ? DICS_ENABLE : DICS_DISABLE;
    params.Scope = DICS_FLAG_CONFIGSPECIFIC;
    params.HwProfile = 0;
    const char* label = enable == 1 ? "enabeling" : "disabeling";
    printf("%s device...", label);
    if (SetupDiSetClassInstallParamsA(set, device, &params.ClassInstallHeader, sizeof(params)) &&
        SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, device)) {
        printf("done\n");
        ReportRestartNeeds(set, device);
        return 1;
    }
    printf("\n%s device failed.", label);
    return 0;
}

int RestartUsbDevice(const char* rootPath) {
    const char letter = rootPath[0];
    printf("Restart [%c] if possible...\n", letter);
    const UsbSerial serial = FindDiskSerial(letter);

    const HDEVINFO list = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    GUID usbClass;
    if (CLSIDFromString(kUsbClassText, &usbClass) != NOERROR)
        usbClass = GUID_DEVCLASS_USB;
    const HDEVINFO set = SetupDiGetClassDevsExA(&usbClass, nullptr, nullptr, DIGCF_PRESENT,
                                                list != INVALID_HANDLE_VALUE ? list : nullptr, nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE) {
        printf("Error in SetupDiGetClassDevsEx.\n");
        if (list != INVALID_HANDLE_VALUE)
            SetupDiDestroyDeviceInfoList(list);
        return 0;
    }
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        char instanceId[kInstanceIdSize] = {};
        if (!SetupDiGetDeviceInstanceIdA(set, &device, instanceId, sizeof(instanceId), nullptr))
            continue;
        if (UsbInstanceIdMatches(instanceId, sizeof(instanceId), serial))
            RestartMatchingDevice(set, &device, letter, instanceId);
    }
    // With an existing set given, SetupDiGetClassDevsEx adds to it and returns it.
    SetupDiDestroyDeviceInfoList(set);
    if (list != INVALID_HANDLE_VALUE && list != set)
        SetupDiDestroyDeviceInfoList(list);
    return 0;
}
