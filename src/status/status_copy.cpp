#include "status/status_copy.h"

#include <commctrl.h>

#include <cstdlib>

#include "status/status_list.h"
#include "resource.h"
#include "text/console.h"
#include "text/text.h"

namespace {

constexpr UINT_PTR kCopySubclass = 1;
constexpr UINT kCopyCommand = 1;
// Another program may hold the clipboard open for a moment.
constexpr unsigned kClipboardTries = 5;
constexpr DWORD kClipboardPauseMs = 20;

// Puts `text` (UTF-8, as the status lines are) on the clipboard as Unicode
// text; Windows offers it as CF_TEXT too.
bool PutOnClipboard(HWND owner, const char* text) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (units <= 0)
        return false;
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(units) * sizeof(wchar_t));
    auto* wide = memory != nullptr ? static_cast<wchar_t*>(GlobalLock(memory)) : nullptr;
    if (wide == nullptr) {
        if (memory != nullptr)
            GlobalFree(memory);
        return false;
    }
    const bool converted = MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, units) == units;
    GlobalUnlock(memory);
    bool opened = false;
    for (unsigned attempt = 0; converted && !opened && attempt < kClipboardTries; ++attempt) {
        if (attempt > 0)
            Sleep(kClipboardPauseMs);
        opened = OpenClipboard(owner) != FALSE;
    }
    // Once SetClipboardData takes the block, the clipboard owns it.
    const bool put = opened && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    if (opened)
        CloseClipboard();
    if (!put)
        GlobalFree(memory);
    return put;
}

void CopyStatusReport(HWND list) {
    char* report = StatusListReport();
    const bool copied = report != nullptr && PutOnClipboard(list, report);
    free(report);
    if (copied)
        return;
    ConsolePrint("The status lines could not be put on the clipboard (error %lu).\n", GetLastError());
    MessageBeep(MB_ICONWARNING);
}

// Where a menu asked for from the keyboard opens: below the selected line,
// or at the list's top left corner.
POINT KeyboardMenuPoint(HWND list) {
    RECT rect = {};
    const LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
    POINT at = {0, 0};
    if (selected != LB_ERR &&
        SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&rect)) != LB_ERR)
        at = POINT{rect.left, rect.bottom};
    ClientToScreen(list, &at);
    return at;
}

void ShowCopyMenu(HWND list, LPARAM position) {
    // lParam -1: Shift+F10 or the menu key, not the mouse.
    POINT at = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    if (position == -1)
        at = KeyboardMenuPoint(list);
    const HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return;
    const bool empty = SendMessageA(list, LB_GETCOUNT, 0, 0) <= 0;
    AppendMenuA(menu, MF_STRING | (empty ? MF_GRAYED : 0), kCopyCommand, GetText(IDS_COPY));
    const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, list, nullptr);
    DestroyMenu(menu);
    if (chosen == kCopyCommand)
        CopyStatusReport(list);
}

LRESULT CALLBACK StatusListCopyProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
        case WM_KEYDOWN:
            if (wParam == 'C' && GetKeyState(VK_CONTROL) < 0) {
                CopyStatusReport(list);
                return 0;
            }
            break;
        case WM_CHAR:
            // Ctrl+C's character would start a search by the first letter.
            if (wParam == 3)
                return 0;
            break;
        case WM_CONTEXTMENU:
            ShowCopyMenu(list, lParam);
            return 0;
        case WM_NCDESTROY:
            RemoveWindowSubclass(list, StatusListCopyProc, kCopySubclass);
            break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

}  // namespace

void WatchStatusListKeys(HWND list) {
    if (list != nullptr && !SetWindowSubclass(list, StatusListCopyProc, kCopySubclass, 0))
        ConsolePrint("The status list cannot be copied from the keyboard.\n");
}
