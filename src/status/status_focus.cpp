#include "status/status_focus.h"

#include <cstdlib>
#include <cstring>

#include "status/status_keys.h"
#include "status/status_list.h"
#include "shell/ui_thread.h"
#include "text/unicode_text.h"

namespace {

bool IsContinuation(LRESULT index) {
    const StatusEntry* entry = StatusItemEntry(index);
    return entry != nullptr && entry->continued;
}

}  // namespace

void FollowStatusSelection() {
    const HWND list = StatusListWindow();
    const LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
    NoteStatusLineChosen();
    if (selected == LB_ERR || !IsContinuation(selected)) {
        RememberStatusSelection(selected);
        return;
    }
    const LRESULT start = StatusLineStart(selected);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    LRESULT next = selected;
    while (next < count && IsContinuation(next))
        ++next;
    // An arrow down from the line's first item goes on to the next line; a
    // click, or a move up, stays on the line.
    const bool onward = LastStatusSelection() == start && selected > start && GetKeyState(VK_LBUTTON) >= 0 && next < count;
    SelectStatusItem(onward ? next : start);
}

namespace {

// Selects the last line's first item; false when the list is empty.
bool SelectLastLine() {
    const HWND list = StatusListWindow();
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (count <= 0 || count == LB_ERR)
        return false;
    SelectStatusItem(StatusLineStart(count - 1));
    return true;
}

// Gives the list the focus, only while the wizard is the active window and
// shows the list: focus must not pull it in front of another program. True
// when the list has the focus.
bool FocusList() {
    const HWND list = StatusListWindow();
    const HWND main = GetMainWindow();
    if (GetActiveWindow() == main && IsWindowVisible(list))
        SendMessageA(main, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
    return GetFocus() == list;
}

// The last line whose string is `spoken` (UTF-8); -1 when none is.
LRESULT FindLine(const char* spoken) {
    const HWND list = StatusListWindow();
    int length = 0;
    wchar_t* wide = WideFromUtf8(spoken, static_cast<size_t>(-1), &length);
    wchar_t* string = static_cast<wchar_t*>(malloc((static_cast<size_t>(length) + 1) * sizeof(wchar_t)));
    LRESULT found = -1;
    for (LRESULT i = SendMessageW(list, LB_GETCOUNT, 0, 0) - 1;
         wide != nullptr && string != nullptr && i >= 0 && found < 0; --i)
        if (!IsContinuation(i) && SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0) == length &&
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(string)) == length &&
            memcmp(string, wide, static_cast<size_t>(length) * sizeof(wchar_t)) == 0)
            found = i;
    free(string);
    free(wide);
    return found;
}

}  // namespace

void FocusLastStatusLine() {
    if (SelectLastLine())
        FocusList();
}

void AnnounceWriteOutcome() {
    char* outcome = TakeWriteOutcome();
    if (outcome == nullptr)
        return;
    // Said once, by the focus on its line. Where the focus cannot go there
    // the line is still the one selected: after a write that went on to
    // Reboot, that pane's text takes the focus and says the outcome itself.
    const LRESULT line = FindLine(outcome);
    if (line >= 0) {
        SelectStatusItem(line);
        FocusList();
    }
    free(outcome);
}

namespace {

// Whether item `index` is a Warning or Error line said for the first time:
// the same warning of every earlier write, replayed, is said once.
bool IsFirstSaying(LRESULT index) {
    const StatusEntry* entry = StatusItemEntry(index);
    if (entry == nullptr || entry->continued || entry->kind == MessageKind::Ok)
        return false;
    for (LRESULT i = 0; i < index; ++i) {
        const StatusEntry* earlier = StatusItemEntry(i);
        if (earlier != nullptr && !earlier->continued && earlier->kind == entry->kind &&
            strcmp(earlier->text, entry->text) == 0)
            return false;
    }
    return true;
}

}  // namespace

char* StatusWarningsAndErrors() {
    const HWND list = StatusListWindow();
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    size_t size = 1;
    for (LRESULT i = 0; i < count; ++i)
        if (IsFirstSaying(i))
            size += strlen(StatusItemEntry(i)->text) + 1;
    char* text = static_cast<char*>(malloc(size));
    if (text == nullptr)
        return nullptr;
    size_t used = 0;
    for (LRESULT i = 0; i < count; ++i) {
        const StatusEntry* entry = StatusItemEntry(i);
        if (!IsFirstSaying(i))
            continue;
        if (used > 0)
            text[used++] = ' ';
        const size_t length = strlen(entry->text);
        memcpy(text + used, entry->text, length);
        used += length;
    }
    text[used] = '\0';
    return text;
}

void KeepStatusFocusOnLastLine() {
    const HWND list = StatusListWindow();
    if (list != nullptr && GetFocus() == list)
        SelectLastLine();
}
