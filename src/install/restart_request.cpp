#include "install/restart_request.h"

RestartResult RequestRestart(const RestartCalls& calls) {
    if (calls.writeActive(calls.context))
        return {RestartOutcome::WriteRunning, 0};
    if (!calls.askUser(RestartQuestion::RestartNow, calls.context))
        return {RestartOutcome::Declined, 0};
    const uint32_t privilege = calls.enableShutdownPrivilege(calls.context);
    if (privilege != 0)
        return {RestartOutcome::Refused, privilege};
    uint32_t error = calls.initiateShutdown(kShutdownRestart, kRestartReasonInstallation, calls.context);
    // Others' sessions end only when the user agreed to that too: their
    // unsaved work is lost without a word to them.
    if (error == kErrorUsersLoggedOn) {
        if (!calls.askUser(RestartQuestion::OthersSignedIn, calls.context))
            return {RestartOutcome::Declined, 0};
        error = calls.initiateShutdown(kShutdownRestart | kShutdownForceOthers, kRestartReasonInstallation,
                                       calls.context);
    }
    if (error != 0)
        return {RestartOutcome::Refused, error};
    return {RestartOutcome::Started, 0};
}
