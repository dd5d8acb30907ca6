#include "shell/ui_thread.h"

#include <atomic>
#include <cstdlib>

#include "shell/ui_queue.h"

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
    bool ran;     // a sent one: set by the UI thread as it runs it
};

constexpr unsigned kMaxRequests = 64;
// Posts leave a few slots free: a worker whose post is refused sends instead,
// and its send must find room even while the posts fill the table.
constexpr unsigned kPostSlots = kMaxRequests - 8;
constexpr DWORD kRoomPauseMs = 2;
SRWLOCK g_requestsLock = SRWLOCK_INIT;
UiRequest* g_requests[kMaxRequests];
unsigned g_postsInFlight;  // under the lock

bool AddRequest(UiRequest* request) {
    AcquireSRWLockExclusive(&g_requestsLock);
    bool added = false;
    const bool room = !request->posted || g_postsInFlight < kPostSlots;
    for (unsigned i = 0; room && i < kMaxRequests && !added; ++i) {
        if (g_requests[i] == nullptr) {
            g_requests[i] = request;
            added = true;
            g_postsInFlight += request->posted ? 1 : 0;
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
            g_postsInFlight -= g_requests[i]->posted ? 1 : 0;
            g_requests[i] = nullptr;
            taken = true;
        }
    }
    ReleaseSRWLockExclusive(&g_requestsLock);
    return taken;
}

// Looks `pointer` up among the requests in flight. A posted one is taken out,
// for the UI thread runs it once and frees it; a sent one is marked as run and
// stays until its sender takes it back. Null when it is none of this process's.
UiRequest* ClaimRequest(const void* pointer) {
    AcquireSRWLockExclusive(&g_requestsLock);
    UiRequest* found = nullptr;
    for (unsigned i = 0; i < kMaxRequests && found == nullptr; ++i) {
        if (g_requests[i] != nullptr && g_requests[i] == pointer) {
            found = g_requests[i];
            if (found->posted) {
                g_requests[i] = nullptr;
                --g_postsInFlight;
            } else {
                found->ran = true;
            }
        }
    }
    ReleaseSRWLockExclusive(&g_requestsLock);
    return found;
}

// One piece of work on its way, and what it returned when it was sent.
struct HandOff {
    UiWork work;
    void* argument;
    LRESULT result;
};

// The window to post or send to; null when there is none (any more). Without
// one a post would go to this thread's own queue.
HWND LiveMainWindow() {
    const HWND window = g_mainWindow;
    return window != nullptr && IsWindow(window) ? window : nullptr;
}

UiHandOff TryPost(void* context) {
    const HandOff* handOff = static_cast<const HandOff*>(context);
    const HWND window = LiveMainWindow();
    if (window == nullptr)
        return UiHandOff::NoWindow;
    auto* request = static_cast<UiRequest*>(malloc(sizeof(UiRequest)));
    if (request == nullptr)
        return UiHandOff::Refused;
    *request = UiRequest{handOff->work, handOff->argument, true, false};
    if (!AddRequest(request)) {
        free(request);
        return UiHandOff::NoRoom;
    }
    if (PostMessageA(window, WM_APP_RUN_WORK, 0, reinterpret_cast<LPARAM>(request)))
        return UiHandOff::Done;
    const DWORD error = GetLastError();
    // Taken back unless the UI thread already claimed it, which it cannot
    // have done for a message that was never posted.
    if (TakeRequest(request))
        free(request);
    return error == ERROR_INVALID_WINDOW_HANDLE ? UiHandOff::NoWindow : UiHandOff::Refused;
}

UiHandOff TrySend(void* context) {
    HandOff* handOff = static_cast<HandOff*>(context);
    const HWND window = LiveMainWindow();
    if (window == nullptr)
        return UiHandOff::NoWindow;
    UiRequest request = {handOff->work, handOff->argument, false, false};
    if (!AddRequest(&request))
        return UiHandOff::NoRoom;
    handOff->result = SendMessageA(window, WM_APP_RUN_WORK, 0, reinterpret_cast<LPARAM>(&request));
    TakeRequest(&request);  // still there when the window went before running it
    return request.ran ? UiHandOff::Done : UiHandOff::NoWindow;
}

void PauseForRoom(void*) {
    Sleep(kRoomPauseMs);
}

UiQueueCalls HandOffCalls(HandOff* handOff) {
    return {TryPost, TrySend, PauseForRoom, handOff};
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
    HandOff handOff = {work, argument, 0};
    return SendToUiThread(HandOffCalls(&handOff)) ? handOff.result : 0;
}

bool PostToUiThread(UiWork work, void* argument) {
    HandOff handOff = {work, argument, 0};
    return TryPost(&handOff) == UiHandOff::Done;
}

bool QueueOnUiThread(UiWork work, void* argument) {
    if (g_uiThreadId == GetCurrentThreadId()) {
        work(argument);
        return true;
    }
    HandOff handOff = {work, argument, 0};
    return HandOffToUiThread(HandOffCalls(&handOff));
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
