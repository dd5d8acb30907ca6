#include "screen_reader.h"

#include <oleacc.h>

#include <stdio.h>

#include <mutex>
#include <vector>

#include "system_facts.h"
#include "wide_files.h"

namespace {

// The names the wizard gives its controls for screen readers, in English
// and Dutch; a reader must hear one of the two.
struct ExpectedName {
    int control;
    const char* what;
    const char* en;
    const char* nl;
};
const ExpectedName kExpectedNames[] = {
    {1009, "image path", "Image file to write", "Te schrijven diskettebeeld"},
    {106, "the image file button", "Choose an image file", "Kies een diskettebeeld"},
    {1012, "drive list", "Removable drives", "Verwisselbare stations"},
    {1018, "status list", "Status of the checks and the write", "Status van de controles en het schrijven"},
    {1017, "progress bar", "Progress of the write", "Voortgang van het schrijven"},
    {2002, "pane list", "Steps", "Stappen"},
    {1014, "language bar", "Language", "Taal"},
    {4001, "Reboot text", "Outcome", "Resultaat"},
};
const int kStart = 111, kStatusList = 1018, kRebootText = 4001;

// UI Automation's client interfaces, as far as the check calls them: the
// methods before those it calls are declared to keep the order of
// UIAutomationClient.idl (mingw-w64's header does not declare them).
struct UiaElement : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetFocus() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRuntimeId(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFirst(int, void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindAll(int, void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFirstBuildCache(int, void*, void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindAllBuildCache(int, void*, void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE BuildUpdatedCache(void*, void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPropertyValue(int property, VARIANT* value) = 0;
};
struct Uia : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CompareElements(void*, void*, BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE CompareRuntimeIds(void*, void*, BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRootElement(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE ElementFromHandle(HWND window, UiaElement** element) = 0;
};
const CLSID kCuiAutomation = {0xff48dba4, 0x60ef, 0x4201, {0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e}};
const IID kIUiAutomation = {0x30cbe57d, 0xd9d0, 0x452a, {0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48, 0x25, 0xee}};
const IID kIAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const int kUiaName = 30005, kUiaControlType = 30003, kUiaHelpText = 30013;

std::string Take(BSTR text) {
    const std::string utf8 = text ? Utf8(text) : "";
    SysFreeString(text);
    return utf8;
}

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK FindById(HWND child, LPARAM param) {
    ControlSearch* search = (ControlSearch*)param;
    if (GetDlgCtrlID(child) != search->id)
        return TRUE;
    search->found = child;
    return FALSE;
}

HWND FindControl(HWND main, int id) {
    ControlSearch search = {id, nullptr};
    EnumChildWindows(main, FindById, (LPARAM)&search);
    return search.found;
}

// What Active Accessibility tells of `control`: name, role, state, help
// and description; `lines` counts its children a reader does not pass over.
struct AccRead {
    bool read;
    std::string name, help, description;
    long role, state, lines;
};

AccRead ReadAccessible(HWND control) {
    AccRead read = {false, "", "", "", 0, 0, 0};
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, (DWORD)OBJID_CLIENT, kIAccessible, (void**)&object)) || !object)
        return read;
    read.read = true;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    if (SUCCEEDED(object->get_accName(self, &text)))
        read.name = Take(text);
    text = nullptr;
    if (SUCCEEDED(object->get_accHelp(self, &text)))
        read.help = Take(text);
    text = nullptr;
    if (SUCCEEDED(object->get_accDescription(self, &text)))
        read.description = Take(text);
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(object->get_accRole(self, &value)) && value.vt == VT_I4)
        read.role = value.lVal;
    VariantClear(&value);
    if (SUCCEEDED(object->get_accState(self, &value)) && value.vt == VT_I4)
        read.state = value.lVal;
    VariantClear(&value);
    long children = 0;
    if (SUCCEEDED(object->get_accChildCount(&children)))
        for (long child = 1; child <= children && child <= 100000; ++child) {
            VARIANT id;
            VariantInit(&id);
            id.vt = VT_I4;
            id.lVal = child;
            if (SUCCEEDED(object->get_accState(id, &value)) && value.vt == VT_I4 &&
                !(value.lVal & STATE_SYSTEM_INVISIBLE))
                ++read.lines;
            VariantClear(&value);
        }
    object->Release();
    return read;
}

// UI Automation's name, control type and help text of `control`.
std::string ReadUia(Uia* uia, HWND control, std::string* name) {
    UiaElement* element = nullptr;
    if (!uia || FAILED(uia->ElementFromHandle(control, &element)) || !element)
        return "not read";
    std::string found;
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(element->GetCurrentPropertyValue(kUiaName, &value)) && value.vt == VT_BSTR)
        *name = Utf8(value.bstrVal);
    VariantClear(&value);
    if (SUCCEEDED(element->GetCurrentPropertyValue(kUiaControlType, &value)) && value.vt == VT_I4)
        found = "control type " + std::to_string(value.lVal);
    VariantClear(&value);
    if (SUCCEEDED(element->GetCurrentPropertyValue(kUiaHelpText, &value)) && value.vt == VT_BSTR &&
        SysStringLen(value.bstrVal) > 0)
        found += ", help text \"" + Utf8(value.bstrVal) + "\"";
    VariantClear(&value);
    element->Release();
    return "\"" + *name + "\", " + found;
}

// The focus events of the wizard's process, as a reader hears them.
std::mutex g_focusLock;
std::vector<std::pair<int, long>> g_focus;  // control id, child
HANDLE g_focusThread = nullptr;
DWORD g_focusThreadId = 0;
HANDLE g_focusReady = nullptr;
bool g_focusHooked = false;

void CALLBACK OnFocus(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (object != OBJID_CLIENT || !window)
        return;
    std::lock_guard<std::mutex> lock(g_focusLock);
    if (g_focus.size() < 1000)
        g_focus.push_back({GetDlgCtrlID(window), child});
}

DWORD WINAPI FocusThread(void* pid) {
    // Out of context: the events come as messages to this thread.
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, OnFocus,
                                         (DWORD)(DWORD_PTR)pid, 0, WINEVENT_OUTOFCONTEXT);
    g_focusHooked = hook != nullptr;
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the queue, for WM_QUIT
    SetEvent(g_focusReady);
    while (hook && GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    if (hook)
        UnhookWinEvent(hook);
    return 0;
}

// A missing name fails on Windows; under Wine it is reported only.
void Missing(std::string* failure, const std::string& what) {
    *failure += (failure->empty() ? "" : "; ") + what;
}

}  // namespace

bool StartFocusWatch(DWORD pid) {
    g_focus.clear();
    g_focusReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_focusThread = g_focusReady ? CreateThread(nullptr, 0, FocusThread, (void*)(DWORD_PTR)pid, 0, &g_focusThreadId)
                                 : nullptr;
    if (g_focusThread)
        WaitForSingleObject(g_focusReady, INFINITE);
    return g_focusThread && g_focusHooked;
}

std::string StopFocusWatch(FieldReport* report) {
    g_focusHooked = g_focusHooked && g_focusThread;
    if (g_focusThread) {
        PostThreadMessageW(g_focusThreadId, WM_QUIT, 0, 0);
        WaitForSingleObject(g_focusThread, INFINITE);
        CloseHandle(g_focusThread);
        g_focusThread = nullptr;
    }
    if (g_focusReady)
        CloseHandle(g_focusReady);
    g_focusReady = nullptr;
    std::string events, failure;
    bool outcome = false;
    {
        std::lock_guard<std::mutex> lock(g_focusLock);
        for (const auto& event : g_focus) {
            events += (events.empty() ? "" : ", ") + std::to_string(event.first) +
                      (event.second ? "/" + std::to_string(event.second) : "");
            outcome = outcome || event.first == kRebootText;
        }
    }
    const bool wine = UnderWine();
    report->screenReader.push_back({"Focus events (control/line)", g_focusHooked ? (events.empty() ? "none" : events)
                                                                                  : "the hook could not be set"});
    if (!outcome)
        failure = "no focus event for the outcome after the write (the Reboot text)";
    // An arrow move in the status list is left to the tester: the check
    // would have to take the keyboard focus from the wizard's window.
    report->screenReader.push_back({"Focus of an arrow move in the status list", "not tried by the check"});
    if (!failure.empty() && wine) {
        report->screenReader.push_back({"Under Wine", "focus events unavailable: " + failure});
        return "";
    }
    return failure;
}

std::string ReadScreenReaderNames(HWND main, const std::string& statusLines, FieldReport* report) {
    const bool wine = UnderWine();
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Uia* uia = nullptr;
    if (FAILED(CoCreateInstance(kCuiAutomation, nullptr, CLSCTX_INPROC_SERVER, kIUiAutomation, (void**)&uia)))
        uia = nullptr;
    std::string failure;
    for (const ExpectedName& expected : kExpectedNames) {
        const HWND control = FindControl(main, expected.control);
        if (!control) {
            Missing(&failure, std::string("no ") + expected.what);
            continue;
        }
        const AccRead acc = ReadAccessible(control);
        std::string uiaName;
        const std::string uiaRead = ReadUia(uia, control, &uiaName);
        char line[64];
        snprintf(line, sizeof line, ", role %ld, state 0x%lX", acc.role, acc.state);
        report->screenReader.push_back(
            {expected.what, acc.read ? "\"" + acc.name + "\"" + line + "; UI Automation: " + uiaRead
                                     : "not read through Active Accessibility; UI Automation: " + uiaRead});
        for (const std::string& name : {acc.name, uiaName})
            if (name != expected.en && name != expected.nl) {
                Missing(&failure, std::string(expected.what) + " not named \"" + expected.en + "\" (read \"" + name + "\")");
                break;
            }
    }
    const HWND start = FindControl(main, kStart);
    const AccRead startRead = start ? ReadAccessible(start) : AccRead{};
    report->screenReader.push_back({"Start's description and help", "\"" + startRead.description + "\", \"" + startRead.help + "\""});
    size_t lines = 0;
    for (char c : statusLines)
        lines += c == '\n';
    const HWND list = FindControl(main, kStatusList);
    const AccRead listRead = list ? ReadAccessible(list) : AccRead{};
    report->screenReader.push_back({"Status lines a reader goes through", std::to_string(listRead.lines) + " of " +
                                                                             std::to_string(lines)});
    if ((size_t)listRead.lines != lines)
        Missing(&failure, "the status list gives " + std::to_string(listRead.lines) + " lines for " +
                              std::to_string(lines));
    if (uia)
        uia->Release();
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!failure.empty() && wine) {
        report->screenReader.push_back({"Under Wine", "unavailable (Wine's services for screen readers are largely "
                                                      "stubs): " + failure});
        return "";
    }
    return failure;
}
