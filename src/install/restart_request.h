// What the Reboot button does, decided apart from Windows: ask first, then
// restart with the shutdown privilege enabled, never while a drive is being
// written; when others are signed in to the PC, ask again before their
// sessions are ended too. Portable: the calls that ask the user and restart
// Windows come in a table, so that a test can answer them and nothing is
// ever restarted.
#pragma once

#include <cstdint>

// InitiateShutdownW's flags, its answer when others are signed in, and the
// reason given for the restart: an application's installation, planned
// (Windows' values, checked where the calls are made).
constexpr uint32_t kShutdownRestart = 0x00000004;              // SHUTDOWN_RESTART
constexpr uint32_t kShutdownForceOthers = 0x00000001;          // SHUTDOWN_FORCE_OTHERS
constexpr uint32_t kErrorUsersLoggedOn = 1190;                 // ERROR_SHUTDOWN_USERS_LOGGED_ON
constexpr uint32_t kRestartReasonInstallation = 0x80040002;    // PLANNED | MAJOR_APPLICATION | MINOR_INSTALLATION
constexpr uint32_t kErrorNotAllAssigned = 1300;                // ERROR_NOT_ALL_ASSIGNED

// What a restart asks the user.
enum class RestartQuestion {
    RestartNow,    // restart Windows now?
    OthersSignedIn,  // others are signed in and may lose their work: restart anyway?
};

struct RestartCalls {
    // True while a drive is being written.
    bool (*writeActive)(void* context);
    // Asks the user `question`; true for Yes.
    bool (*askUser)(RestartQuestion question, void* context);
    // Enables the shutdown privilege in the process's token: 0 when it is
    // enabled, else the error (ERROR_NOT_ALL_ASSIGNED when the token holds
    // no such privilege).
    uint32_t (*enableShutdownPrivilege)(void* context);
    // InitiateShutdownW on this PC, at once: 0 when Windows took the
    // request, else the error.
    uint32_t (*initiateShutdown)(uint32_t flags, uint32_t reason, void* context);
    void* context;
};

enum class RestartOutcome {
    WriteRunning,  // nothing asked, nothing done
    Declined,      // the user said No, to either question
    Refused,       // Windows did not take the request; `error` says why
    Started,       // Windows is restarting
};

struct RestartResult {
    RestartOutcome outcome;
    uint32_t error;
};

RestartResult RequestRestart(const RestartCalls& calls);
