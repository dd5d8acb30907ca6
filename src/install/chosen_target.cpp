#include "install/chosen_target.h"

#include <mutex>

#include "install/storage_win32.h"

namespace {

// The checks (UI thread) and the writer both reach the choice.
std::mutex g_choiceLock;
TargetIdentity g_choice;
bool g_rewritten;  // the disk was written since the choice was recorded

}  // namespace

TargetIdentity IdentifyDrive(char letter) {
    return IdentifyTarget(Win32StorageCalls(), letter);
}

bool CheckChosenTarget(char letter, TargetIdentity* now) {
    *now = IdentifyDrive(letter);
    std::lock_guard<std::mutex> hold(g_choiceLock);
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
    std::lock_guard<std::mutex> hold(g_choiceLock);
    return g_choice;
}

void ForgetChosenTarget() {
    std::lock_guard<std::mutex> hold(g_choiceLock);
    g_choice = TargetIdentity{};
    g_rewritten = false;
}

void RecordWrittenTarget(const TargetIdentity& written) {
    std::lock_guard<std::mutex> hold(g_choiceLock);
    g_choice = written;
    g_rewritten = true;
}
