#include "install/restart_request.h"

RestartResult RequestRestart(const RestartCalls& calls) {
    if (calls.writeActive(calls.context))
        return {RestartOutcome::WriteRunning, 0};
    if (!calls.askUser(calls.context))
        return {RestartOutcome::Declined, 0};
    const uint32_t privilege = calls.enableShutdownPrivilege(calls.context);
    if (privilege != 0)
        return {RestartOutcome::Refused, privilege};
    const uint32_t error = calls.exitWindows(kExitReboot, kRestartReasonInstallation, calls.context);
    if (error != 0)
        return {RestartOutcome::Refused, error};
    return {RestartOutcome::Started, 0};
}
