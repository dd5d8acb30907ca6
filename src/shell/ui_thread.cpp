#include "shell/ui_thread.h"

#include <atomic>

#include "devices/drive_list.h"
#include "install/checks.h"
#include "install/install_pane.h"
#include "install/message_kind.h"
#include "install/status_list.h"
#include "install/writer.h"
#include "shell/panes.h"
#include "source/loader_outcome.h"

namespace {
std::atomic<HWND> g_mainWindow{nullptr};
std::atomic<DWORD> g_uiThreadId{0};
}  // namespace

void SetUiWindow(HWND window) {
    g_uiThreadId = GetCurrentThreadId();
    g_mainWindow = window;
}

HWND GetMainWindow() {
    return g_mainWindow;
}

bool OnUiThread() {
    const DWORD uiThread = g_uiThreadId;
    return uiThread == 0 || uiThread == GetCurrentThreadId();
}

LRESULT SendToUiThread(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = g_mainWindow;
    if (window == nullptr || !IsWindow(window))
        return 0;
    return SendMessageA(window, message, wParam, lParam);
}

void NotifyWriteStateChanged() {
    const HWND window = g_mainWindow;
    if (window != nullptr)
        PostMessageA(window, WM_APP_WRITE_STATE, 0, 0);
}

bool HandleAppMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 1;
    switch (message) {
        case WM_APP_SWITCH_PANE:
            SwitchPane(nullptr);
            return true;
        case WM_APP_STEP_PANE:
            StepPane(static_cast<int>(wParam));
            return true;
        case WM_APP_RUN_CHECKS:
            RunChecks();
            return true;
        case WM_APP_ADD_STATUS_ENTRY:
            AddStatusEntry(static_cast<MessageKind>(wParam), reinterpret_cast<char*>(lParam));
            return true;
        case WM_APP_LOG_PROGRESS:
            LogProgressText(static_cast<MessageKind>(wParam), reinterpret_cast<const char*>(lParam));
            return true;
        case WM_APP_LOADER_OUTCOME:
            ShowLoaderOutcome(wParam != 0);
            return true;
        case WM_APP_DRIVE_LIST:
            *result = ApplyDriveListUpdate(reinterpret_cast<DriveListUpdate*>(lParam));
            return true;
        case WM_APP_WRITE_STATE:
            UpdateInstallControls();
            return true;
        case WM_APP_PROGRESS:
            ShowWriteProgress();
            return true;
        case WM_APP_SET_TOPMOST:
            // Without SWP_NOACTIVATE: the wizard also comes to the front.
            SetWindowPos(GetMainWindow(), wParam ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            return true;
        default:
            return false;
    }
}
