#include "shell/app_state.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "text/console.h"

const char kDevicePathTemplate[7] = "\\\\.\\+:";

std::atomic<AppState*> g_appState{nullptr};

namespace {
std::atomic<int> g_loaderFinished{0};
std::atomic<int> g_writeActive{0};
std::atomic<int> g_checksPassed{0};
std::atomic<void (*)()> g_writeStateListener{nullptr};

void NotifyWriteStateListener() {
    if (void (*listener)() = g_writeStateListener.load())
        listener();
}
}  // namespace

void SetWriteStateListener(void (*listener)()) {
    g_writeStateListener = listener;
}

void InitAppState() {
    AppState* state = new (std::nothrow) AppState{};
    if (state == nullptr) {
        ConsolePrint("Out of memory.\n");
        ExitProcess(1);
    }
    state->imageName = "";
    state->externalPath = nullptr;
    state->destination = 0;
    g_appState = state;
}

void SetExternalPath(const char* path) {
    if (path == nullptr)
        return;
    AppState* state = g_appState;
    const size_t size = strlen(path) + 1;
    char* copy = static_cast<char*>(LocalAlloc(LPTR, size));
    if (copy == nullptr)
        return;
    memcpy(copy, path, size);
    if (state->externalPath != nullptr)
        LocalFree(state->externalPath);
    state->externalPath = copy;
}

void SetSourceMode(int32_t mode) {
    g_appState.load()->sourceMode = mode;
}

const char* GetImageName() {
    AppState* state = g_appState;
    return state == nullptr ? "" : state->imageName.load();
}

void SetDestination(const char* rootPath) {
    uint32_t packed = 0;
    if (rootPath != nullptr)
        memcpy(&packed, rootPath, strnlen(rootPath, 3));
    g_appState.load()->destination = packed;
}

DriveRoot GetDestination() {
    DriveRoot root = {};
    const uint32_t packed = g_appState.load()->destination;
    memcpy(root.text, &packed, 3);
    return root;
}

int IsWriteActive() {
    return g_writeActive;
}
int IsLoaderFinished() {
    return g_loaderFinished;
}
int HaveChecksPassed() {
    return g_checksPassed;
}

void SetWriteActive(int value) {
    g_writeActive = value;
    NotifyWriteStateListener();
}

bool TryBeginWrite() {
    int idle = 0;
    if (!g_writeActive.compare_exchange_strong(idle, 1))
        return false;
    NotifyWriteStateListener();
    return true;
}
void SetLoaderFinished() {
    g_loaderFinished = 1;
}
void SetChecksPassed(int value) {
    g_checksPassed = value;
}
