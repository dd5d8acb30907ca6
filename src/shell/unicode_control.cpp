#include "shell/unicode_control.h"

#include "text/console.h"

HWND MakeControlUnicode(HWND pane, int id, const wchar_t* className) {
    const HWND old = GetDlgItem(pane, id);
    RECT rect;
    if (old == nullptr || !GetWindowRect(old, &rect))
        return old;
    MapWindowPoints(nullptr, pane, reinterpret_cast<POINT*>(&rect), 2);
    const HWND made = CreateWindowExW(
        static_cast<DWORD>(GetWindowLongPtrW(old, GWL_EXSTYLE)), className, L"",
        static_cast<DWORD>(GetWindowLongPtrW(old, GWL_STYLE)), rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top, pane, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
        nullptr);
    if (made == nullptr) {
        ConsolePrint("Control %d stays an ANSI one (error %lu).\n", id, GetLastError());
        return old;
    }
    SendMessageW(made, WM_SETFONT, static_cast<WPARAM>(SendMessageW(old, WM_GETFONT, 0, 0)), FALSE);
    SetWindowPos(made, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    DestroyWindow(old);
    return made;
}
