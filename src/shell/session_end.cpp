#include "shell/session_end.h"

#include <cstring>

#include "resource.h"
#include "shell/app_state.h"
#include "shell/ui_thread.h"
#include "text/console.h"
#include "text/text.h"

namespace {

// As long as the console's handler waits for a write when the console closes.
constexpr DWORD kSessionEndWaitMs = 30000;
constexpr DWORD kSessionEndPollMs = 10;
// Windows shows a reason only up to MAX_STR_BLOCKREASON characters.
constexpr int kReasonCapacity = 256;

bool g_guarded;  // UI thread only

// user32's `name`, or null: the shutdown-block calls came with Windows Vista.
template <typename Call>
Call FindUser32Call(const char* name) {
    const FARPROC found = GetProcAddress(GetModuleHandleA("user32.dll"), name);
    Call call = nullptr;
    static_assert(sizeof(call) == sizeof(found), "function pointers of one size");
    memcpy(&call, &found, sizeof(call));
    return call;
}

// Tells Windows why the session must wait (`reason`), or that it need not
// (null). Only the thread that made the window may.
void SetShutdownBlock(HWND window, const char* reason) {
    if (reason == nullptr) {
        const auto destroy = FindUser32Call<BOOL(WINAPI*)(HWND)>("ShutdownBlockReasonDestroy");
        if (destroy != nullptr)
            destroy(window);
        return;
    }
    const auto create = FindUser32Call<BOOL(WINAPI*)(HWND, LPCWSTR)>("ShutdownBlockReasonCreate");
    wchar_t wide[kReasonCapacity] = {};
    if (create == nullptr || MultiByteToWideChar(CP_ACP, 0, reason, -1, wide, kReasonCapacity - 1) == 0)
        return;
    if (!create(window, wide))
        ConsolePrint("Windows was not told why the session must wait (error %lu).\n", GetLastError());
}

// Windows ends a console program a few seconds after its console is closed,
// whatever the program's handler does: the console's Close is greyed out while
// a write runs. A console that another program draws (a terminal) may keep it.
void EnableConsoleClose(bool enabled) {
    const HWND console = GetConsoleWindow();
    const HMENU menu = console != nullptr ? GetSystemMenu(console, FALSE) : nullptr;
    if (menu != nullptr)
        EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

}  // namespace

void GuardSessionEndDuringWrite(HWND window) {
    const bool writing = IsWriteActive() != 0;
    if (writing == g_guarded)
        return;
    g_guarded = writing;
    EnableConsoleClose(!writing);
    if (!writing) {
        SetShutdownBlock(window, nullptr);
        return;
    }
    const DriveName drive = GetDestination().Name();
    ConsolePrint("Do not close this window until drive %s is written.\n", drive.text);
    SetShutdownBlock(window, GetText(IDS_SHUTDOWN_REASON, drive.text));
}

BOOL MaySessionEnd() {
    if (!IsWriteActive())
        return TRUE;
    ConsolePrint("The session may not end during the write.\n");
    return FALSE;
}

void WaitForWriteBeforeSessionEnd(HWND window) {
    if (!IsWriteActive())
        return;
    ConsolePrint("Waiting for the write to end before ending...\n");
    const DWORD start = GetTickCount();
    while (IsWriteActive() && GetTickCount() - start < kSessionEndWaitMs) {
        // Sent requests are answered inside PeekMessage; posted ones run here,
        // in their order. Nothing else is handled while the session ends.
        MSG message;
        while (PeekMessageA(&message, window, WM_APP_RUN_WORK, WM_APP_RUN_WORK, PM_REMOVE))
            DispatchMessageA(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kSessionEndPollMs, QS_POSTMESSAGE | QS_SENDMESSAGE);
    }
}
