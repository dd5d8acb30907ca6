// What a screen reader is given of a control, read from another process
// through Active Accessibility (AccessibleObjectFromWindow): the control's
// own name, role and state and its children's (the status list's lines), and
// the focus events of a process, hooked with SetWinEventHook.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct AccessibleItem {
    std::string name;  // UTF-8
    long role, state;
};

struct AccessibleRead {
    bool read;  // AccessibleObjectFromWindow answered
    AccessibleItem self;
    std::string help, description;
    std::vector<AccessibleItem> children;  // each child id from 1, in order
    long selection, focus;  // the child selected and focused; 0 for none or the control itself
};

// Reads `control`'s OBJID_CLIENT object; COM must be initialised on the thread.
AccessibleRead ReadAccessible(HWND control);

// The focus events of process `pid`: control id and child id, in order.
// Listening runs on a thread of its own from StartFocusEvents until
// StopFocusEvents, which returns false when the hook could not be set.
struct FocusEvent {
    int control;
    long child;
};
bool StartFocusEvents(DWORD pid);
// How many have come so far.
size_t FocusEventCount();
// Waits up to `ms` for an event on control `control` (-1: any) among those
// from number `from` on, as events arrive; true, and the event, when one came.
bool WaitFocusEvent(int control, size_t from, DWORD ms, FocusEvent* found);
bool StopFocusEvents(std::vector<FocusEvent>* events);
