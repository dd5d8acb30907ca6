#include "install/firmware_mode.h"

bool StartedInUefiMode(const FirmwareCalls& calls) {
    uint32_t type = 0;
    if (calls.firmwareType(&type, calls.context) && (type == kFirmwareTypeBios || type == kFirmwareTypeUefi))
        return type == kFirmwareTypeUefi;
    // Without an answer from GetFirmwareType (Windows 7, or an unknown type):
    // a PC started the BIOS way has no firmware variables at all, so the
    // read fails with ERROR_INVALID_FUNCTION; on UEFI it fails otherwise
    // (the variable is not there, or not for this user).
    return calls.readNoVariable(calls.context) != kErrorInvalidFunction;
}
