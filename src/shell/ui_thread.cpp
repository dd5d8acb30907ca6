#include "shell/ui_thread.h"

#include <atomic>

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

LRESULT RunOnUiThread(UiWork work, void* argument) {
    if (g_uiThreadId == GetCurrentThreadId())
        return work(argument);
    const HWND window = g_mainWindow;
    if (window == nullptr || !IsWindow(window))
        return 0;
    return SendMessageA(window, WM_APP_RUN_WORK, reinterpret_cast<WPARAM>(work), reinterpret_cast<LPARAM>(argument));
}

void PostToUiThread(UiWork work, void* argument) {
    PostMessageA(g_mainWindow, WM_APP_RUN_WORK, reinterpret_cast<WPARAM>(work), reinterpret_cast<LPARAM>(argument));
}

bool HandleAppMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message != WM_APP_RUN_WORK)
        return false;
    *result = reinterpret_cast<UiWork>(wParam)(reinterpret_cast<void*>(lParam));
    return true;
}
