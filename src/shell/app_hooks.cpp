#include "shell/app_hooks.h"

#include <shellapi.h>

#include "text/console.h"

namespace {

// Filled before the window exists and read-only after, so the UI thread reads
// them without a lock. A handful of hooks per event is all the program has.
template <typename Hook>
struct HookList {
    static constexpr int kCapacity = 8;
    Hook hooks[kCapacity];
    int count;

    void Add(Hook hook) {
        if (count == kCapacity) {
            ConsolePrint("Too many hooks for one event.\n");
            return;
        }
        hooks[count++] = hook;
    }
};

HookList<DeviceChangeHook> g_deviceChange;
HookList<AppHook> g_writeState;
HookList<AppHook> g_relocalise;
HookList<AppHook> g_exit;
HookList<AppHook> g_displayChange;
HookList<AppHook> g_activated;
void (*g_drop)(HDROP);

void RunAll(const HookList<AppHook>& list) {
    for (int i = 0; i < list.count; ++i)
        list.hooks[i]();
}

}  // namespace

void AddDeviceChangeHook(DeviceChangeHook hook) {
    g_deviceChange.Add(hook);
}
void AddWriteStateHook(AppHook hook) {
    g_writeState.Add(hook);
}
void AddRelocaliseHook(AppHook hook) {
    g_relocalise.Add(hook);
}
void AddExitHook(AppHook hook) {
    g_exit.Add(hook);
}
void AddDisplayChangeHook(AppHook hook) {
    g_displayChange.Add(hook);
}

void AddActivatedHook(AppHook hook) {
    g_activated.Add(hook);
}

void RunActivatedHooks() {
    RunAll(g_activated);
}

void RunDeviceChangeHooks(WPARAM event) {
    for (int i = 0; i < g_deviceChange.count; ++i)
        g_deviceChange.hooks[i](event);
}
void RunWriteStateHooks() {
    RunAll(g_writeState);
}
void RunRelocaliseHooks() {
    RunAll(g_relocalise);
}
void RunExitHooks() {
    RunAll(g_exit);
}
void RunDisplayChangeHooks() {
    RunAll(g_displayChange);
}

void SetDropHook(void (*hook)(HDROP drop)) {
    g_drop = hook;
}

void RunDropHook(HDROP drop) {
    if (g_drop != nullptr)
        g_drop(drop);
    else
        DragFinish(drop);
}
