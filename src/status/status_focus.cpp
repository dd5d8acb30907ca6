#include "status/status_focus.h"

#include <cstdlib>
#include <cstring>

#include "status/spoken_lines.h"
#include "status/status_accessible.h"
#include "status/status_keys.h"
#include "status/status_list.h"
#include "resource.h"
#include "shell/ui_thread.h"
#include "text/text.h"
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
        // A click: the list box told of its item; a reader is told the line
        // (a key's move was told as it was made).
        if (selected != LastStatusSelection())
            TellStatusLineSelected(list, selected);
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

namespace {

// An outcome whose line could not take the focus because the wizard was not
// in front: said when it is activated again. Malloc'ed; UI thread only.
char* g_pendingOutcome;

}  // namespace

void AnnounceWriteOutcome() {
    char* outcome = TakeWriteOutcome();
    if (outcome == nullptr)
        return;
    free(g_pendingOutcome);
    g_pendingOutcome = nullptr;
    // Said once, by the focus on its line. Where the focus cannot go there
    // the line is still the one selected: after a write that went on to
    // Reboot, that pane's text takes the focus and says the outcome itself.
    const LRESULT line = FindLine(outcome);
    if (line >= 0) {
        SelectStatusItem(line);
        if (!FocusList() && GetActiveWindow() != GetMainWindow()) {
            g_pendingOutcome = outcome;
            return;
        }
    }
    free(outcome);
}

void AnnouncePendingOutcome() {
    char* outcome = g_pendingOutcome;
    g_pendingOutcome = nullptr;
    if (outcome == nullptr)
        return;
    // Still its line, unless the lines were made anew and it is gone.
    const LRESULT line = FindLine(outcome);
    if (line >= 0) {
        SelectStatusItem(line);
        FocusList();
    }
    free(outcome);
}

namespace {

// The list's lines, each with its first item (`firstItems`, may be null);
// malloc'ed arrays of `*count`, null when memory runs out or the list is
// empty. The texts are the list's own: used before the list changes.
ReportLine* ListLines(size_t* count, LRESULT** firstItems) {
    const LRESULT items = SendMessageA(StatusListWindow(), LB_GETCOUNT, 0, 0);
    *count = 0;
    if (items <= 0)
        return nullptr;
    auto* lines = static_cast<ReportLine*>(calloc(static_cast<size_t>(items), sizeof(ReportLine)));
    LRESULT* starts = firstItems != nullptr ? static_cast<LRESULT*>(calloc(static_cast<size_t>(items), sizeof(LRESULT)))
                                            : nullptr;
    if (lines == nullptr || (firstItems != nullptr && starts == nullptr)) {
        free(lines);
        free(starts);
        return nullptr;
    }
    for (LRESULT i = 0; i < items; ++i) {
        const StatusEntry* entry = StatusItemEntry(i);
        if (entry == nullptr || entry->continued)
            continue;
        if (starts != nullptr)
            starts[*count] = i;
        lines[(*count)++] = ReportLine{entry->kind, entry->text};
    }
    if (firstItems != nullptr)
        *firstItems = starts;
    return lines;
}

// The line the user held as a check run began (its text a copy of its own),
// and its number among the lines.
ReportLine g_held;
size_t g_heldNumber;
bool g_holding;

}  // namespace

char* StatusWarningsAndErrors() {
    size_t count = 0;
    ReportLine* lines = ListLines(&count, nullptr);
    const char* error = GetTextUtf8(IDS_KIND_ERROR);
    char* errorWord = static_cast<char*>(malloc(strlen(error) + 1));
    if (errorWord != nullptr)
        memcpy(errorWord, error, strlen(error) + 1);
    // Each word read in turn: every GetText reuses the same buffer.
    char* text = errorWord != nullptr ? StartDescription(lines, count, KindWords{errorWord, "", GetTextUtf8(IDS_KIND_WARNING)})
                                      : nullptr;
    free(errorWord);
    free(lines);
    return text;
}

void RememberHeldStatusLine() {
    free(const_cast<char*>(g_held.text));
    g_held = ReportLine{MessageKind::Ok, nullptr};
    g_holding = false;
    const LRESULT selected = SendMessageA(StatusListWindow(), LB_GETCURSEL, 0, 0);
    const StatusEntry* entry = selected != LB_ERR ? StatusItemEntry(StatusLineStart(selected)) : nullptr;
    if (entry == nullptr || !UserHoldsStatusLine())
        return;
    size_t count = 0;
    LRESULT* starts = nullptr;
    ReportLine* lines = ListLines(&count, &starts);
    for (size_t i = 0; i < count; ++i)
        if (starts[i] == StatusLineStart(selected))
            g_heldNumber = i;
    free(lines);
    free(starts);
    const size_t length = strlen(entry->text);
    char* text = static_cast<char*>(malloc(length + 1));
    if (text == nullptr)
        return;
    memcpy(text, entry->text, length + 1);
    g_held = ReportLine{entry->kind, text};
    g_holding = true;
}

void KeepStatusFocusOnLastLine() {
    const HWND list = StatusListWindow();
    if (list == nullptr)
        return;
    size_t count = 0;
    LRESULT* starts = nullptr;
    ReportLine* lines = ListLines(&count, &starts);
    const long line = LineAfterCheckRun(lines, count, g_holding ? &g_held : nullptr, g_heldNumber, GetFocus() == list);
    if (line >= 0 && starts != nullptr)
        SelectStatusItem(starts[line]);
    free(lines);
    free(starts);
}
