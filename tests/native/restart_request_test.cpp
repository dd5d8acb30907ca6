// The Reboot button's request against a model of the user and of Windows:
// nothing here restarts anything.
#include "install/restart_request.h"

#include <gtest/gtest.h>

namespace {

struct Machine {
    bool writing, sayYes, tokenHasPrivilege;
    uint32_t exitError;  // ExitWindowsEx fails with it; 0: it takes the request
    int asked = 0, restarts = 0;
    bool privilegeEnabled = false;

    static Machine& Of(void* c) { return *static_cast<Machine*>(c); }
    static bool Writing(void* c) { return Of(c).writing; }
    static bool Ask(void* c) {
        ++Of(c).asked;
        return Of(c).sayYes;
    }
    // AdjustTokenPrivileges succeeds also for a privilege the token lacks;
    // GetLastError then says ERROR_NOT_ALL_ASSIGNED.
    static uint32_t Enable(void* c) {
        Of(c).privilegeEnabled = Of(c).tokenHasPrivilege;
        return Of(c).tokenHasPrivilege ? 0 : kErrorNotAllAssigned;
    }
    // ExitWindowsEx restarts only a caller whose token has SE_SHUTDOWN_NAME
    // enabled (ERROR_PRIVILEGE_NOT_HELD otherwise); we ask for EWX_REBOOT
    // with a planned reason (SHTDN_REASON_FLAG_PLANNED).
    static uint32_t Exit(uint32_t flags, uint32_t reason, void* c) {
        if (!Of(c).privilegeEnabled || Of(c).exitError != 0)
            return Of(c).privilegeEnabled ? Of(c).exitError : 1314;
        Of(c).restarts += flags == 0x2 && (reason & 0x80000000u) != 0;
        return 0;
    }
};

TEST(RestartRequest, AsksFirstAndRestartsOnlyWhenAllowed) {
    const struct {
        const char* name;
        Machine machine;
        RestartOutcome outcome;
        uint32_t error;
        int asked, restarts;
    } kCases[] = {
        {"a write runs", {true, true, true, 0}, RestartOutcome::WriteRunning, 0, 0, 0},
        {"no", {false, false, true, 0}, RestartOutcome::Declined, 0, 1, 0},
        {"yes", {false, true, true, 0}, RestartOutcome::Started, 0, 1, 1},
        {"no shutdown privilege", {false, true, false, 0}, RestartOutcome::Refused, 1300, 1, 0},
        {"already shutting down", {false, true, true, 1115}, RestartOutcome::Refused, 1115, 1, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Machine m = c.machine;
        const RestartResult result =
            RequestRestart({Machine::Writing, Machine::Ask, Machine::Enable, Machine::Exit, &m});
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(m.asked, c.asked);
        EXPECT_EQ(m.restarts, c.restarts);
    }
}

}  // namespace
