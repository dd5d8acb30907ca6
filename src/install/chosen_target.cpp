#include "install/chosen_target.h"

#include <windows.h>

#include "install/storage_win32.h"

namespace {

// The checks (UI thread) and the writer both reach the choice.
SRWLOCK g_choiceLock = SRWLOCK_INIT;

// Holds the choice's lock for the life of a scope.
struct ChoiceHold {
    ChoiceHold() { AcquireSRWLockExclusive(&g_choiceLock); }
    ~ChoiceHold() { ReleaseSRWLockExclusive(&g_choiceLock); }
    ChoiceHold(const ChoiceHold&) = delete;
    ChoiceHold& operator=(const ChoiceHold&) = delete;
};
TargetIdentity g_choice;
bool g_rewritten;  // the disk was written since the choice was recorded

}  // namespace

TargetIdentity IdentifyDrive(char letter) {
    return IdentifyTarget(Win32StorageCalls(), letter);
}

bool CheckChosenTarget(char letter, TargetIdentity* now) {
    *now = IdentifyDrive(letter);
    const ChoiceHold hold;
    if (g_choice.letter != letter) {
        g_choice = *now;
        g_rewritten = false;
        return true;
    }
    if (g_rewritten && IsSameDisk(g_choice, *now)) {
        g_choice = *now;
        g_rewritten = false;
        return true;
    }
    return IsSameDevice(g_choice, *now);
}

TargetIdentity ChosenTarget() {
    const ChoiceHold hold;
    return g_choice;
}

void ForgetChosenTarget() {
    const ChoiceHold hold;
    g_choice = TargetIdentity{};
    g_rewritten = false;
}

void RecordWrittenTarget(const TargetIdentity& written) {
    const ChoiceHold hold;
    g_choice = written;
    g_rewritten = true;
}
