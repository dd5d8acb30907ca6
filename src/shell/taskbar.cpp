#include "shell/taskbar.h"

#include <windows.h>
#include <shobjidl.h>

#include "shell/ui_thread.h"
#include "text/console.h"

namespace {

ITaskbarList3* g_taskbar;  // UI thread only
bool g_tried;

// Made at the first report: by then the window has its taskbar button.
// Without a taskbar (Windows before 7, or none running) nothing is shown.
ITaskbarList3* Taskbar() {
    if (g_tried)
        return g_taskbar;
    g_tried = true;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ITaskbarList3* taskbar = nullptr;
    if (SUCCEEDED(com) || com == RPC_E_CHANGED_MODE) {
        if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                       reinterpret_cast<void**>(&taskbar))) &&
            FAILED(taskbar->HrInit())) {
            taskbar->Release();
            taskbar = nullptr;
        }
    }
    if (taskbar == nullptr)
        ConsolePrint("The taskbar button cannot show the write's progress.\n");
    g_taskbar = taskbar;
    return taskbar;
}

}  // namespace

void ShowTaskbarProgress(uint32_t position, uint32_t total) {
    ITaskbarList3* taskbar = Taskbar();
    const HWND window = GetMainWindow();
    if (taskbar == nullptr || window == nullptr)
        return;
    taskbar->SetProgressState(window, TBPF_NORMAL);
    taskbar->SetProgressValue(window, position, total);
}

void EndTaskbarProgress(bool failed) {
    const HWND window = GetMainWindow();
    if (window == nullptr)
        return;
    if (ITaskbarList3* taskbar = Taskbar())
        taskbar->SetProgressState(window, failed ? TBPF_ERROR : TBPF_NOPROGRESS);
    if (GetForegroundWindow() != window) {
        FLASHWINFO flash = {sizeof(flash), window, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
        FlashWindowEx(&flash);
    }
}
