// Finding the wizard's windows and reading its memory from another process.
#include "remote_window.h"

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

namespace {

std::string* g_printed = nullptr;
std::string* g_failed = nullptr;

void AppendFormatted(std::string* out, const char* format, va_list args) {
    char text[8192];
    int length = vsnprintf(text, sizeof text, format, args);
    if (length > 0)
        out->append(text, (size_t)length < sizeof text ? (size_t)length : sizeof text - 1);
}

}  // namespace

void CaptureOutput(std::string* printed, std::string* failed) {
    g_printed = printed;
    g_failed = failed;
}

int Fail(int code, const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (g_failed) {
        AppendFormatted(g_failed, format, args);
        va_end(args);
        return code;
    }
    fputs("tdw-driver: ", stderr);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    va_end(args);
    fflush(stderr);
    return code;
}

void Print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (g_printed)
        AppendFormatted(g_printed, format, args);
    else
        vprintf(format, args);
    va_end(args);
    fflush(stdout);
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    return out;
}

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &answer))
        return false;
    if (result)
        *result = (LRESULT)answer;
    return true;
}

LRESULT SendOrZero(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    Send(window, message, wParam, lParam, &result);
    return result;
}

// ---- Waiting for a control ----------------------------------------------

namespace {

// What keeps a user from using the control: "gone", or its visibility and
// enabled state, with the window that hides or disables it when not itself.
std::string ControlState(HWND control) {
    if (!IsWindow(control))
        return "gone";
    char state[160];
    HWND hider = control;
    while (hider && (GetWindowLongA(hider, GWL_STYLE) & WS_VISIBLE))
        hider = GetParent(hider);
    HWND top = GetAncestor(control, GA_ROOT);
    snprintf(state, sizeof state, "%s, %s", !hider ? "visible" : "hidden", IsWindowEnabled(control) ? "enabled" : "disabled");
    std::string text = state;
    if (hider && hider != control) {
        snprintf(state, sizeof state, " (inside hidden window %d)", GetDlgCtrlID(hider));
        text += state;
    }
    if (top && top != control && !IsWindowEnabled(top))
        text += " (its window disabled: a modal dialog is open)";
    return text;
}

bool IsReady(HWND control) {
    HWND top = GetAncestor(control, GA_ROOT);
    return IsWindow(control) && IsWindowVisible(control) && IsWindowEnabled(control) && (!top || IsWindowEnabled(top));
}

}  // namespace

bool WaitControlReady(HWND control, const char* what) {
    const DWORD kPollMs = 50;
    for (DWORD start = GetTickCount(); !IsReady(control); Sleep(kPollMs)) {
        if (GetTickCount() - start >= kReadyTimeoutMs) {
            Fail(1, "%s not usable after %lu ms: %s", what, kReadyTimeoutMs, ControlState(control).c_str());
            return false;
        }
    }
    return true;
}

// ---- Finding the windows ------------------------------------------------

namespace {

bool IsDialog(HWND window) {
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    return strcmp(name, "#32770") == 0;
}

bool BelongsToWizard(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return false;
    char path[MAX_PATH] = "";
    DWORD size = sizeof path;
    BOOL ok = QueryFullProcessImageNameA(process, 0, path, &size);
    CloseHandle(process);
    const char* base = strrchr(path, '\\');
    return ok && _stricmp(base ? base + 1 : path, "TalvixDiskWriter.exe") == 0;
}

struct MainSearch {
    HWND wizard;  // a dialog of TalvixDiskWriter.exe
    HWND any;     // the first dialog with a pane list, whatever its program
};

BOOL CALLBACK CollectMain(HWND window, LPARAM param) {
    MainSearch* search = (MainSearch*)param;
    if (!IsDialog(window) || !GetDlgItem(window, kPaneList))
        return TRUE;
    if (!search->any)
        search->any = window;
    if (BelongsToWizard(window)) {
        search->wizard = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindMain() {
    MainSearch search = {nullptr, nullptr};
    EnumWindows(CollectMain, (LPARAM)&search);
    return search.wizard ? search.wizard : search.any;
}

namespace {

struct ChildSearch {
    int controlId;
    HWND found;
};

BOOL CALLBACK FindDialogWith(HWND window, LPARAM param) {
    ChildSearch* search = (ChildSearch*)param;
    if (IsDialog(window) && GetDlgItem(window, search->controlId)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindChildDialog(HWND parent, int controlId) {
    ChildSearch search = {controlId, nullptr};
    EnumChildWindows(parent, FindDialogWith, (LPARAM)&search);
    return search.found;
}

const PaneKind kPanes[4] = {
    {"welcome", 1006},
    {"target", 1012},
    {"install", 1018},
    {"reboot", 4001},
};

HWND FindPane(HWND main, const char* name) {
    if (strcmp(name, "main") == 0)
        return main;
    if (strcmp(name, "chooser") == 0) {
        HWND welcome = FindChildDialog(main, 1006);
        return welcome ? FindChildDialog(welcome, 1009) : nullptr;
    }
    for (const PaneKind& pane : kPanes)
        if (strcmp(name, pane.name) == 0)
            return FindChildDialog(main, pane.marker);
    return nullptr;
}

// ---- Reading and writing the program's memory ---------------------------

// Reading asks for reading alone; a scratch block (the driver's verbs whose
// message carries a pointer) asks for writing when it is first wanted.
Remote::Remote(HWND window) {
    GetWindowThreadProcessId(window, &pid_);
    process_ = OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid_);
}

Remote::~Remote() {
    if (block_)
        VirtualFreeEx(writer_, block_, 0, MEM_RELEASE);
    if (writer_)
        CloseHandle(writer_);
    if (process_)
        CloseHandle(process_);
}

void* Remote::Scratch() {
    if (!writer_)
        writer_ = OpenProcess(PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_VM_OPERATION, FALSE, pid_);
    if (!block_ && writer_)
        block_ = VirtualAllocEx(writer_, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    return block_;
}

bool Remote::Write(void* address, const void* data, size_t size) {
    SIZE_T done = 0;
    return writer_ && WriteProcessMemory(writer_, address, data, size, &done) && done == size;
}

bool Remote::Read(const void* address, void* out, size_t size) {
    SIZE_T done = 0;
    return process_ && ReadProcessMemory(process_, address, out, size, &done) && done == size;
}

// Reads a page at a time, so that a text ending just before an unmapped page
// still reads.
bool Remote::ReadText(const char* address, size_t limit, std::string* out) {
    out->clear();
    char buffer[4096];
    while (out->size() < limit) {
        size_t toPageEnd = 4096 - ((uintptr_t)address & 4095);
        size_t chunk = toPageEnd < limit - out->size() ? toPageEnd : limit - out->size();
        if (!Read(address, buffer, chunk))
            return false;
        size_t length = strnlen(buffer, chunk);
        out->append(buffer, length);
        if (length < chunk)
            return true;
        address += chunk;
    }
    return true;
}
