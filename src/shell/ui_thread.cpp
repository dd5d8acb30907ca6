#include "shell/ui_thread.h"

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<HWND> g_mainWindow{nullptr};
std::atomic<DWORD> g_uiThreadId{0};

// A request travels as a pointer to one of these. The window is elevated and
// any program of the same user may send it messages, so the pointer is only
// followed when it names a request that is in flight in this table.
struct UiRequest {
    UiWork work;
    void* argument;
    bool posted;  // freed by the UI thread once run
};

constexpr unsigned kMaxRequests = 64;
SRWLOCK g_requestsLock = SRWLOCK_INIT;
UiRequest* g_requests[kMaxRequests];

bool AddRequest(UiRequest* request) {
    AcquireSRWLockExclusive(&g_requestsLock);
    bool added = false;
    for (unsigned i = 0; i < kMaxRequests && !added; ++i) {
        if (g_requests[i] == nullptr) {
            g_requests[i] = request;
            added = true;
        }
    }
    ReleaseSRWLockExclusive(&g_requestsLock);
    return added;
}

// Takes `request` out of the table; false when it was not there.
bool TakeRequest(const void* request) {
    AcquireSRWLockExclusive(&g_requestsLock);
    bool taken = false;
    for (unsigned i = 0; i < kMaxRequests && !taken; ++i) {
        if (g_requests[i] != nullptr && g_requests[i] == request) {
            g_requests[i] = nullptr;
            taken = true;
        }
    }
    ReleaseSRWLockExclusive(&g_requestsLock);
    return taken;
}

// Looks `pointer` up among the requests in flight. A posted one is taken out,
// for the UI thread runs it once and frees it; a sent one stays until its
// sender takes it back. Null when it is none of this process's.
UiRequest* ClaimRequest(const void* pointer) {
    AcquireSRWLockExclusive(&g_requestsLock);
    UiRequest* found = nullptr;
    for (unsigned i = 0; i < kMaxRequests && found == nullptr; ++i) {
        if (g_requests[i] != nullptr && g_requests[i] == pointer) {
            found = g_requests[i];
            if (found->posted)
                g_requests[i] = nullptr;
        }
    }
    ReleaseSRWLockExclusive(&g_requestsLock);
    return found;
}

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
    UiRequest request = {work, argument, false};
    if (!AddRequest(&request))
        return 0;
    const LRESULT result = SendMessageA(window, WM_APP_RUN_WORK, 0, reinterpret_cast<LPARAM>(&request));
    TakeRequest(&request);  // still there when the window went before running it
    return result;
}

bool PostToUiThread(UiWork work, void* argument) {
    // Without a window the post would go to this thread's own queue.
    const HWND window = g_mainWindow;
    if (window == nullptr)
        return false;
    auto* request = static_cast<UiRequest*>(malloc(sizeof(UiRequest)));
    if (request == nullptr)
        return false;
    *request = UiRequest{work, argument, true};
    if (!AddRequest(request)) {
        free(request);
        return false;
    }
    if (PostMessageA(window, WM_APP_RUN_WORK, 0, reinterpret_cast<LPARAM>(request)))
        return true;
    // Taken back unless the UI thread already claimed it, which it cannot
    // have done for a message that was never posted.
    if (TakeRequest(request))
        free(request);
    return false;
}

void QueueOnUiThread(UiWork work, void* argument) {
    if (g_uiThreadId == GetCurrentThreadId()) {
        work(argument);
        return;
    }
    if (!PostToUiThread(work, argument))
        RunOnUiThread(work, argument);
}

bool HandleAppMessage(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
    if (message != WM_APP_RUN_WORK)
        return false;
    *result = 0;
    UiRequest* request = ClaimRequest(reinterpret_cast<const void*>(lParam));
    if (request == nullptr)
        return true;
    const UiRequest copy = *request;
    if (copy.posted)
        free(request);
    *result = copy.work(copy.argument);
    return true;
}
