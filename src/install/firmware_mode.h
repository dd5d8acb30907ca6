// How this PC started, BIOS or UEFI, as Windows tells it: GetFirmwareType
// from Windows 8 on, and on Windows 7 the answer to a firmware variable that
// cannot exist. Portable: the two calls come in a table.
#pragma once

#include <cstdint>

constexpr uint32_t kFirmwareTypeBios = 1;   // FIRMWARE_TYPE's FirmwareTypeBios
constexpr uint32_t kFirmwareTypeUefi = 2;   // FirmwareTypeUefi
constexpr uint32_t kErrorInvalidFunction = 1;  // ERROR_INVALID_FUNCTION

struct FirmwareCalls {
    // GetFirmwareType: false when Windows has no such call or it failed.
    bool (*firmwareType)(uint32_t* type, void* context);
    // GetFirmwareEnvironmentVariable with an empty name and the zero GUID:
    // the error it fails with (0 if it did not fail).
    uint32_t (*readNoVariable)(void* context);
    void* context;
};

// True when the PC started in UEFI mode.
bool StartedInUefiMode(const FirmwareCalls& calls);
