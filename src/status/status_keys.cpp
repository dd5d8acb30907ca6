#include "status/status_keys.h"

#include <commctrl.h>

#include "status/line_moves.h"
#include "status/status_accessible.h"
#include "status/status_list.h"
#include "text/console.h"

namespace {

constexpr UINT_PTR kMovesSubclass = 2;

// The user scrolled up or chose a line since lines were last followed.
bool g_userMoved;

bool IsContinued(size_t index, void* list) {
    const StatusEntry* entry = StatusItemEntry(static_cast<LRESULT>(index));
    (void)list;
    return entry != nullptr && entry->continued;
}

ListLayout LayoutOf(HWND list) {
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    return ListLayout{count > 0 ? static_cast<size_t>(count) : 0, IsContinued, list};
}

int ClientHeight(HWND list) {
    RECT client = {};
    GetClientRect(list, &client);
    return client.bottom - client.top;
}

// How many items from `from` on fill the list's height.
size_t ItemsPerPage(HWND list, LRESULT from, LRESULT step) {
    const int height = ClientHeight(list);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    int used = 0;
    size_t items = 0;
    for (LRESULT i = from; i >= 0 && i < count; i += step) {
        const LRESULT itemHeight = SendMessageA(list, LB_GETITEMHEIGHT, static_cast<WPARAM>(i), 0);
        used += itemHeight > 0 ? static_cast<int>(itemHeight) : 1;
        if (used > height)
            break;
        ++items;
    }
    return items > 0 ? items : 1;
}

bool MoveOfKey(WPARAM key, LineMove* move) {
    switch (key) {
        case VK_UP: *move = LineMove::Up; return true;
        case VK_DOWN: *move = LineMove::Down; return true;
        case VK_PRIOR: *move = LineMove::PageUp; return true;
        case VK_NEXT: *move = LineMove::PageDown; return true;
        case VK_HOME: *move = LineMove::Home; return true;
        case VK_END: *move = LineMove::End; return true;
        default: return false;
    }
}

// Moves the selection before the list box would: it would land on a
// continuation item first, which a screen reader reads as a blank line.
bool MoveByKey(HWND list, WPARAM key) {
    LineMove move;
    if (!MoveOfKey(key, &move) || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
        return false;
    const LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
    const LRESULT step = move == LineMove::PageUp ? -1 : 1;
    const size_t page = ItemsPerPage(list, selected >= 0 ? selected : 0, step);
    const long target = LineMoveTarget(LayoutOf(list), selected == LB_ERR ? -1 : static_cast<long>(selected), move, page);
    if (target < 0)
        return true;
    if (target != selected) {
        SelectStatusItem(target);
        // As the list box tells of a move of its own.
        SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    }
    return true;
}

bool NewestInView(HWND list) {
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    RECT item = {};
    return count <= 0 ||
           (SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(count - 1), reinterpret_cast<LPARAM>(&item)) != LB_ERR &&
            item.bottom <= ClientHeight(list));
}

LRESULT CALLBACK StatusListMovesProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
        case WM_KEYDOWN:
            if (MoveByKey(list, wParam))
                return 0;
            break;
        case WM_GETOBJECT: {
            bool answered = false;
            const LRESULT object = AnswerStatusListObject(list, wParam, lParam, &answered);
            if (answered)
                return object;
            break;
        }
        case WM_SETFOCUS: {
            // The list box tells of its focused item; a reader is told the line.
            const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
            TellStatusLineSelected(list, SendMessageA(list, LB_GETCURSEL, 0, 0));
            return result;
        }
        case WM_VSCROLL:
        case WM_MOUSEWHEEL: {
            // Scrolled back down to the newest line, the list follows again.
            const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
            g_userMoved = !NewestInView(list);
            return result;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(list, StatusListMovesProc, kMovesSubclass);
            break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

}  // namespace

void WatchStatusListMoves(HWND list) {
    if (list == nullptr)
        return;
    if (!SetWindowSubclass(list, StatusListMovesProc, kMovesSubclass, 0))
        ConsolePrint("The status list's keys move item by item.\n");
    SetStatusLinesAddedHook(ShowNewestStatusLine);
}

void ShowNewestStatusLine() {
    const HWND list = StatusListWindow();
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (g_userMoved || count <= 0 || NewestInView(list))
        return;
    // The page that ends with the newest item; the newest line's start when
    // that line is taller than the list.
    const LRESULT fit = count - static_cast<LRESULT>(ItemsPerPage(list, count - 1, -1));
    const LRESULT start = StatusLineStart(count - 1);
    SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(fit < start ? fit : start), 0);
}

void NoteStatusLineChosen() {
    g_userMoved = true;
}

bool UserHoldsStatusLine() {
    return g_userMoved;
}

void FollowNewestStatusLines() {
    g_userMoved = false;
}
