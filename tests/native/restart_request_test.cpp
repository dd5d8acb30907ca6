// The Reboot button's request, against a model of the user and of Windows:
// nothing here restarts anything.
#include "install/restart_request.h"

#include <gtest/gtest.h>

namespace {

struct Machine {
    bool writing, writeBeginsWhileAsked, sayYes, tokenHasPrivilege;
    uint32_t exitError;  // what ExitWindowsEx fails with, 0: it takes the request
    int asked = 0, restarts = 0;
    bool privilegeEnabled = false;
    uint32_t flags = 0, reason = 0;
};

Machine& Of(void* context) {
    return *static_cast<Machine*>(context);
}

bool Writing(void* c) {
    return Of(c).writing;
}

bool Ask(void* c) {
    ++Of(c).asked;
    Of(c).writing = Of(c).writeBeginsWhileAsked;
    return Of(c).sayYes;
}

// AdjustTokenPrivileges: succeeds also when the token lacks the privilege,
// and GetLastError then says ERROR_NOT_ALL_ASSIGNED.
uint32_t Enable(void* c) {
    Of(c).privilegeEnabled = Of(c).tokenHasPrivilege;
    return Of(c).tokenHasPrivilege ? 0 : kErrorNotAllAssigned;
}

// ExitWindowsEx: restarting needs SE_SHUTDOWN_NAME enabled in the caller's
// token (ERROR_PRIVILEGE_NOT_HELD otherwise).
uint32_t Exit(uint32_t flags, uint32_t reason, void* c) {
    Machine& m = Of(c);
    if (!m.privilegeEnabled)
        return 1314;
    if (m.exitError != 0)
        return m.exitError;
    ++m.restarts;
    m.flags = flags;
    m.reason = reason;
    return 0;
}

TEST(RestartRequest, AsksFirstAndRestartsOnlyWhenAllowed) {
    const struct {
        const char* name;
        Machine machine;
        RestartOutcome outcome;
        uint32_t error;
        int asked, restarts;
    } kCases[] = {
        {"a write runs", {true, false, true, true, 0}, RestartOutcome::WriteRunning, 0, 0, 0},
        {"the user says no", {false, false, false, true, 0}, RestartOutcome::Declined, 0, 1, 0},
        {"yes", {false, false, true, true, 0}, RestartOutcome::Started, 0, 1, 1},
        {"no shutdown privilege", {false, false, true, false, 0}, RestartOutcome::Refused, 1300, 1, 0},
        {"Windows is already shutting down", {false, false, true, true, 1115}, RestartOutcome::Refused, 1115, 1, 0},
        {"a write began while asked", {false, true, true, true, 0}, RestartOutcome::WriteRunning, 0, 1, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Machine m = c.machine;
        const RestartResult result = RequestRestart({Writing, Ask, Enable, Exit, &m});
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(m.asked, c.asked);
        EXPECT_EQ(m.restarts, c.restarts);
        if (m.restarts > 0) {
            EXPECT_EQ(m.flags, 0x2u);                      // EWX_REBOOT
            EXPECT_EQ(m.reason & 0x80000000u, 0x80000000u);  // SHTDN_REASON_FLAG_PLANNED
        }
    }
}

}  // namespace
