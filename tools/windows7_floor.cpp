#include "windows7_floor.h"

#include <cctype>
#include <cstring>

namespace {

struct Newer {
    const char* name;  // a function, or a whole DLL when it ends in ".dll"
    const char* first;
};

constexpr const char* kW8 = "Windows 8";
constexpr const char* kW81 = "Windows 8.1";
constexpr const char* kW10 = "Windows 10";
constexpr const char* kW1607 = "Windows 10, version 1607";
constexpr const char* kW1703 = "Windows 10, version 1703";
constexpr const char* kW1709 = "Windows 10, version 1709";
constexpr const char* kW1803 = "Windows 10, version 1803";

// clang-format off
const Newer kNewer[] = {
    // Whole DLLs
    {"shcore.dll", kW81}, {"combase.dll", kW8}, {"ucrtbase.dll", kW10},
    {"api-ms-win-core-path-l1-1-0.dll", kW8}, {"api-ms-win-core-synch-l1-2-0.dll", kW8},
    // Scale (user32, shcore)
    {"GetDpiForWindow", kW1607}, {"GetDpiForSystem", kW1607}, {"GetSystemMetricsForDpi", kW1607},
    {"SystemParametersInfoForDpi", kW1607}, {"AdjustWindowRectExForDpi", kW1607},
    {"EnableNonClientDpiScaling", kW1607}, {"SetThreadDpiAwarenessContext", kW1607},
    {"GetThreadDpiAwarenessContext", kW1607}, {"GetWindowDpiAwarenessContext", kW1607},
    {"AreDpiAwarenessContextsEqual", kW1607}, {"GetAwarenessFromDpiAwarenessContext", kW1607},
    {"IsValidDpiAwarenessContext", kW1607}, {"SetProcessDpiAwarenessContext", kW1703},
    {"SetDialogDpiChangeBehavior", kW1703}, {"SetDialogControlDpiChangeBehavior", kW1703},
    {"GetDpiFromDpiAwarenessContext", kW1803}, {"GetSystemDpiForProcess", kW1803},
    {"LogicalToPhysicalPointForPerMonitorDPI", kW81}, {"PhysicalToLogicalPointForPerMonitorDPI", kW81},
    {"GetDpiForMonitor", kW81}, {"SetProcessDpiAwareness", kW81}, {"GetProcessDpiAwareness", kW81},
    {"GetScaleFactorForMonitor", kW81}, {"OpenThemeDataForDpi", kW1703},
    // Windows, input and accessibility (user32, uiautomationcore)
    {"EnableMouseInPointer", kW8}, {"GetPointerInfo", kW8}, {"GetPointerType", kW8},
    {"InitializeTouchInjection", kW8}, {"IsImmersiveProcess", kW8}, {"SetCoalescableTimer", kW8},
    {"GetDisplayAutoRotationPreferences", kW8}, {"SetDisplayAutoRotationPreferences", kW8},
    {"UiaRaiseNotificationEvent", kW1709}, {"UiaDisconnectProvider", kW8}, {"UiaDisconnectAllProviders", kW8},
    // Files, memory, threads and processes (kernel32)
    {"GetSystemTimePreciseAsFileTime", kW8}, {"CreateFile2", kW8}, {"CopyFile2", kW8},
    {"GetOverlappedResultEx", kW8}, {"SetDefaultDllDirectories", kW8}, {"AddDllDirectory", kW8},
    {"RemoveDllDirectory", kW8}, {"WaitOnAddress", kW8}, {"WakeByAddressSingle", kW8},
    {"WakeByAddressAll", kW8}, {"InitializeSynchronizationBarrier", kW8},
    {"EnterSynchronizationBarrier", kW8}, {"DeleteSynchronizationBarrier", kW8},
    {"GetCurrentThreadStackLimits", kW8}, {"PrefetchVirtualMemory", kW8}, {"SetThreadInformation", kW8},
    {"GetThreadInformation", kW8}, {"SetProcessInformation", kW8}, {"GetProcessInformation", kW8},
    {"GetFirmwareType", kW8}, {"CreateFileMappingFromApp", kW8}, {"MapViewOfFileFromApp", kW8},
    {"SetProcessMitigationPolicy", kW8}, {"GetProcessMitigationPolicy", kW8},
    {"SetThreadpoolTimerEx", kW8}, {"SetThreadpoolWaitEx", kW8}, {"LoadPackagedLibrary", kW8},
    {"GetCurrentPackageId", kW8}, {"GetCurrentPackageFullName", kW8}, {"GetPackageFamilyName", kW8},
    {"GetPackagePath", kW8}, {"DiscardVirtualMemory", kW81}, {"OfferVirtualMemory", kW81},
    {"ReclaimVirtualMemory", kW81}, {"SetThreadDescription", kW1607}, {"GetThreadDescription", kW1607},
    {"IsWow64Process2", kW1709}, {"VirtualAlloc2", kW1803}, {"MapViewOfFile3", kW1803},
    {"QueryUnbiasedInterruptTimePrecise", kW10}, {"GetSystemTimeAdjustmentPrecise", kW10},
    {"GetTempPath2", "Windows 11"},
    // Devices, hashing, paths and the Windows Runtime
    {"CM_Register_Notification", kW8}, {"CM_Unregister_Notification", kW8}, {"BCryptHash", kW10},
    {"BCryptCreateMultiHash", kW81}, {"BCryptProcessMultiOperations", kW81}, {"PathCchCombine", kW8},
    {"PathCchAppend", kW8}, {"PathCchCanonicalize", kW8}, {"PathAllocCombine", kW8}, {"RoInitialize", kW8},
    {"RoUninitialize", kW8}, {"WindowsCreateString", kW8},
};
// clang-format on

bool EqualNoCase(const char* a, const std::string& b) {
    if (strlen(a) != b.size())
        return false;
    for (size_t i = 0; i < b.size(); ++i)
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool IsDll(const char* name) {
    const size_t length = strlen(name);
    return length > 4 && strcmp(name + length - 4, ".dll") == 0;
}

}  // namespace

const char* FirstWindowsWith(const std::string& dll, const std::string& function) {
    const char last = function.empty() ? '\0' : function.back();
    const std::string base = last == 'A' || last == 'W' ? function.substr(0, function.size() - 1) : function;
    for (const Newer& newer : kNewer) {
        if (IsDll(newer.name) ? EqualNoCase(newer.name, dll) : function == newer.name || base == newer.name)
            return newer.first;
    }
    return "";
}
