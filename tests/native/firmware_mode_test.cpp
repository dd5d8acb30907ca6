// How the PC started, against the answers Windows gives on each kind of PC.
#include "install/firmware_mode.h"

#include <gtest/gtest.h>

namespace {

struct Pc {
    bool hasFirmwareType;  // Windows 8 or later
    uint32_t type, variableError;  // what the read of no variable fails with
};
bool Type(uint32_t* type, void* c) { return *type = static_cast<Pc*>(c)->type, static_cast<Pc*>(c)->hasFirmwareType; }
uint32_t Read(void* c) { return static_cast<Pc*>(c)->variableError; }

TEST(FirmwareMode, TellsUefiFromBiosOnEveryWindows) {
    const struct {
        const char* name;
        Pc pc;
        bool uefi;
    } kCases[] = {
        {"Windows 10, UEFI", {true, kFirmwareTypeUefi, 998}, true},
        {"Windows 10, BIOS", {true, kFirmwareTypeBios, kErrorInvalidFunction}, false},
        // GetFirmwareEnvironmentVariable: ERROR_INVALID_FUNCTION on a BIOS PC,
        // another error (ERROR_NOACCESS, privilege not held) on UEFI.
        {"Windows 7, BIOS", {false, 0, kErrorInvalidFunction}, false},
        {"Windows 7, UEFI", {false, 0, 998}, true},
        {"Windows 7, UEFI, no privilege", {false, 0, 1314}, true},
        {"type unknown, UEFI", {true, 0, 203}, true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Pc pc = c.pc;
        EXPECT_EQ(StartedInUefiMode({Type, Read, &pc}), c.uefi);
    }
}

}  // namespace
