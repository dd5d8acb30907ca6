// The Reboot button's request against a model of the user and of Windows:
// nothing here restarts anything.
#include "install/restart_request.h"

#include <gtest/gtest.h>

namespace {

struct Machine {
    bool writing, sayYes, tokenHasPrivilege;
    bool othersSignedIn, sayYesToOthers;
    uint32_t shutdownError;  // InitiateShutdownW fails with it; 0: it takes the request
    int asked = 0, restarts = 0;
    bool privilegeEnabled = false;

    static Machine& Of(void* c) { return *static_cast<Machine*>(c); }
    static bool Writing(void* c) { return Of(c).writing; }
    static bool Ask(RestartQuestion question, void* c) {
        ++Of(c).asked;
        return question == RestartQuestion::RestartNow ? Of(c).sayYes : Of(c).sayYesToOthers;
    }
    // AdjustTokenPrivileges succeeds also for a privilege the token lacks;
    // GetLastError then says ERROR_NOT_ALL_ASSIGNED.
    static uint32_t Enable(void* c) {
        Of(c).privilegeEnabled = Of(c).tokenHasPrivilege;
        return Of(c).tokenHasPrivilege ? 0 : kErrorNotAllAssigned;
    }
    // InitiateShutdownW needs SE_SHUTDOWN_NAME enabled (ERROR_ACCESS_DENIED
    // otherwise) and, without SHUTDOWN_FORCE_OTHERS, fails with
    // ERROR_SHUTDOWN_USERS_LOGGED_ON while others are signed in.
    static uint32_t Initiate(uint32_t flags, uint32_t reason, void* c) {
        Machine& m = Of(c);
        if (!m.privilegeEnabled)
            return 5;
        if (m.othersSignedIn && (flags & kShutdownForceOthers) == 0)
            return kErrorUsersLoggedOn;
        if (m.shutdownError != 0)
            return m.shutdownError;
        m.restarts += (flags & kShutdownRestart) != 0 && (reason & 0x80000000u) != 0;
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
        {"a write runs", {true, true, true, false, false, 0}, RestartOutcome::WriteRunning, 0, 0, 0},
        {"no", {false, false, true, false, false, 0}, RestartOutcome::Declined, 0, 1, 0},
        {"yes", {false, true, true, false, false, 0}, RestartOutcome::Started, 0, 1, 1},
        {"no shutdown privilege", {false, true, false, false, false, 0}, RestartOutcome::Refused, 1300, 1, 0},
        {"already shutting down", {false, true, true, false, false, 1115}, RestartOutcome::Refused, 1115, 1, 0},
        {"others signed in, no to them", {false, true, true, true, false, 0}, RestartOutcome::Declined, 0, 2, 0},
        {"others signed in, yes to them", {false, true, true, true, true, 0}, RestartOutcome::Started, 0, 2, 1},
        {"others signed in, then refused", {false, true, true, true, true, 1115}, RestartOutcome::Refused, 1115, 2, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Machine m = c.machine;
        const RestartResult result =
            RequestRestart({Machine::Writing, Machine::Ask, Machine::Enable, Machine::Initiate, &m});
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(m.asked, c.asked);
        EXPECT_EQ(m.restarts, c.restarts);
    }
}

}  // namespace
