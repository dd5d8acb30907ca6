// What the Reboot button does, decided apart from Windows: ask first, then
// restart with the shutdown privilege enabled, never while a drive is being
// written. Portable: the calls that ask the user and restart Windows come
// in a table, so that a test can answer them and nothing is ever restarted.
#pragma once

#include <cstdint>

// ExitWindowsEx's flags and the reason given for the restart: an
// application's installation, planned (Windows' values, checked where the
// calls are made).
constexpr uint32_t kExitReboot = 0x00000002;                   // EWX_REBOOT
constexpr uint32_t kRestartReasonInstallation = 0x80040002;    // PLANNED | MAJOR_APPLICATION | MINOR_INSTALLATION
constexpr uint32_t kErrorNotAllAssigned = 1300;                // ERROR_NOT_ALL_ASSIGNED

struct RestartCalls {
    // True while a drive is being written.
    bool (*writeActive)(void* context);
    // Asks the user whether to restart now; true for Yes.
    bool (*askUser)(void* context);
    // Enables the shutdown privilege in the process's token: 0 when it is
    // enabled, else the error (ERROR_NOT_ALL_ASSIGNED when the token holds
    // no such privilege).
    uint32_t (*enableShutdownPrivilege)(void* context);
    // ExitWindowsEx: 0 when Windows took the request, else the error.
    uint32_t (*exitWindows)(uint32_t flags, uint32_t reason, void* context);
    void* context;
};

enum class RestartOutcome {
    WriteRunning,  // nothing asked, nothing done
    Declined,      // the user said No
    Refused,       // Windows did not take the request; `error` says why
    Started,       // Windows is restarting
};

struct RestartResult {
    RestartOutcome outcome;
    uint32_t error;
};

RestartResult RequestRestart(const RestartCalls& calls);
