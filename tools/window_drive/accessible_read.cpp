#include "accessible_read.h"

#include <oleacc.h>

#include <mutex>

namespace {

const IID kIAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

std::string TakeText(BSTR text) {
    std::string utf8;
    const int units = text ? (int)SysStringLen(text) : 0;
    const int bytes = units > 0 ? WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr) : 0;
    utf8.assign(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, units, &utf8[0], bytes, nullptr, nullptr);
    SysFreeString(text);
    return utf8;
}

VARIANT ChildId(long id) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

long NumberOf(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), long id) {
    VARIANT value;
    VariantInit(&value);
    long number = 0;
    if (SUCCEEDED((object->*get)(ChildId(id), &value)) && value.vt == VT_I4)
        number = value.lVal;
    VariantClear(&value);
    return number;
}

std::string TextOf(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long id) {
    BSTR text = nullptr;
    return SUCCEEDED((object->*get)(ChildId(id), &text)) ? TakeText(text) : "";
}

AccessibleItem ItemOf(IAccessible* object, long id) {
    return {TextOf(object, &IAccessible::get_accName, id), NumberOf(object, &IAccessible::get_accRole, id),
            NumberOf(object, &IAccessible::get_accState, id)};
}

// The child a VT_I4 answer names; 0 for none.
long ChildOf(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT*), IAccessible* object) {
    VARIANT value;
    VariantInit(&value);
    const long child = SUCCEEDED((object->*get)(&value)) && value.vt == VT_I4 ? value.lVal : 0;
    VariantClear(&value);
    return child;
}

std::mutex g_lock;
std::vector<FocusEvent> g_events;
HANDLE g_thread, g_ready, g_arrived;
DWORD g_threadId;
bool g_hooked;

void CALLBACK OnFocus(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (object != OBJID_CLIENT || !window)
        return;
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_events.size() < 1000)
        g_events.push_back({GetDlgCtrlID(window), child});
    SetEvent(g_arrived);
}

DWORD WINAPI FocusThread(void* pid) {
    // Out of context: the events come as messages to this thread.
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, OnFocus,
                                         (DWORD)(DWORD_PTR)pid, 0, WINEVENT_OUTOFCONTEXT);
    g_hooked = hook != nullptr;
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the queue, for WM_QUIT
    SetEvent(g_ready);
    while (hook && GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    if (hook)
        UnhookWinEvent(hook);
    return 0;
}

}  // namespace

AccessibleRead ReadAccessible(HWND control) {
    AccessibleRead read = {};
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, (DWORD)OBJID_CLIENT, kIAccessible, (void**)&object)) || !object)
        return read;
    read.read = true;
    read.self = ItemOf(object, CHILDID_SELF);
    read.help = TextOf(object, &IAccessible::get_accHelp, CHILDID_SELF);
    read.description = TextOf(object, &IAccessible::get_accDescription, CHILDID_SELF);
    long children = 0;
    if (SUCCEEDED(object->get_accChildCount(&children)))
        for (long child = 1; child <= children && child <= 100000; ++child)
            read.children.push_back(ItemOf(object, child));
    read.selection = ChildOf(&IAccessible::get_accSelection, object);
    read.focus = ChildOf(&IAccessible::get_accFocus, object);
    object->Release();
    return read;
}

bool StartFocusEvents(DWORD pid) {
    g_events.clear();
    g_hooked = false;
    g_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_arrived = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_thread = g_ready && g_arrived ? CreateThread(nullptr, 0, FocusThread, (void*)(DWORD_PTR)pid, 0, &g_threadId)
                                    : nullptr;
    if (g_thread)
        WaitForSingleObject(g_ready, INFINITE);
    return g_thread && g_hooked;
}

size_t FocusEventCount() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_events.size();
}

bool WaitFocusEvent(int control, size_t from, DWORD ms, FocusEvent* found) {
    const DWORD start = GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(g_lock);
            for (size_t i = from; i < g_events.size(); ++i)
                if (control < 0 || g_events[i].control == control) {
                    if (found)
                        *found = g_events[i];
                    return true;
                }
        }
        const DWORD spent = GetTickCount() - start;
        if (!g_arrived || spent >= ms || WaitForSingleObject(g_arrived, ms - spent) != WAIT_OBJECT_0)
            return false;
    }
}

bool StopFocusEvents(std::vector<FocusEvent>* events) {
    const bool hooked = g_thread && g_hooked;
    if (g_thread) {
        PostThreadMessageW(g_threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(g_thread, INFINITE);
        CloseHandle(g_thread);
    }
    for (HANDLE* handle : {&g_ready, &g_arrived})
        if (*handle)
            CloseHandle(*handle);
    g_thread = g_ready = g_arrived = nullptr;
    std::lock_guard<std::mutex> lock(g_lock);
    *events = g_events;
    return hooked;
}
