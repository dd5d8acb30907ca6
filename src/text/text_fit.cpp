#include "text/text_fit.h"

#include <cstdlib>
#include <cstring>

#include "text/console.h"

namespace {

// The room a control leaves for its text, and how it lays the text out.
struct TextRoom {
    int width, height;
    UINT format;  // DrawText's flags
};

// False for a control whose text is not measured here.
bool RoomOf(HWND control, TextRoom* room) {
    char className[16] = "";
    GetClassNameA(control, className, sizeof(className));
    const LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
    RECT client = {};
    GetClientRect(control, &client);
    room->width = client.right;
    room->height = client.bottom;
    if (_stricmp(className, "Static") == 0) {
        const LONG_PTR kind = style & SS_TYPEMASK;
        if (kind != SS_LEFT && kind != SS_CENTER && kind != SS_RIGHT && kind != SS_LEFTNOWORDWRAP)
            return false;
        room->format = (kind == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK) | DT_EXPANDTABS |
                       ((style & SS_NOPREFIX) != 0 ? DT_NOPREFIX : 0);
        return true;
    }
    if (_stricmp(className, "Button") != 0)
        return false;
    const LONG_PTR kind = style & BS_TYPEMASK;
    const bool multiline = (style & BS_MULTILINE) != 0;
    room->format = multiline ? DT_WORDBREAK : DT_SINGLELINE;
    if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) {
        // Inside the button's raised edge, which clips the text.
        room->width -= 2 * GetSystemMetrics(SM_CXEDGE);
        room->height -= 2 * GetSystemMetrics(SM_CYEDGE);
        return true;
    }
    if (kind == BS_AUTORADIOBUTTON || kind == BS_RADIOBUTTON || kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX) {
        // Beside the check mark and the gap after it.
        room->width -= GetSystemMetrics(SM_CXMENUCHECK) + GetSystemMetrics(SM_CXEDGE) * 2;
        return true;
    }
    return false;
}

void TraceIfCutOff(HWND control) {
    TextRoom room = {};
    const int length = GetWindowTextLengthA(control);
    if (length <= 0 || !RoomOf(control, &room))
        return;
    char* text = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
    const HDC dc = GetDC(control);
    if (text != nullptr && dc != nullptr && GetWindowTextA(control, text, length + 1) > 0) {
        const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
        RECT needed = {0, 0, room.width > 0 ? room.width : 1, 0};
        DrawTextA(dc, text, -1, &needed, room.format | DT_CALCRECT);
        SelectObject(dc, old);
        if (needed.right > room.width || needed.bottom > room.height)
            ConsolePrint("Text cut off in control %d (\"%.40s\"): it needs %ld x %ld pixels, the control leaves %d x %d.\n",
                         GetDlgCtrlID(control), text, needed.right, needed.bottom, room.width, room.height);
    }
    if (dc != nullptr)
        ReleaseDC(control, dc);
    free(text);
}

}  // namespace

void TraceTextsCutOff(HWND pane) {
    for (HWND child = GetWindow(pane, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        TraceIfCutOff(child);
}
