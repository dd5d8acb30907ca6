// The status list's lines and their kinds: a line added from any thread,
// the string a screen reader reads for it, the selection, and the report
// Copy makes of the lines.
#include "status/status_list.h"
#include "status/status_list_parts.h"

#include <cstdlib>
#include <cstring>

#include "status/spoken_lines.h"
#include "status/status_accessible.h"
#include "status/status_report.h"
#include "resource.h"
#include "shell/app_state.h"
#include "shell/ui_thread.h"
#include "text/copy_text.h"
#include "text/text.h"
#include "text/unicode_text.h"
#include "text/utf8_text.h"

namespace {

// The item last selected, to tell which way a selection moved. UI thread only.
LRESULT g_selectedItem = -1;
// UI thread only.
HWND g_statusList;
void (*g_linesAdded)();

// A status line on its way to the UI thread: an entry hands its text over,
// a progress line lends it for the UI thread to copy.
struct EntryRequest {
    MessageKind kind;
    char* text;
};

LRESULT AddStatusEntryOnUiThread(void* request) {
    const EntryRequest* line = static_cast<const EntryRequest*>(request);
    AddStatusUtf8(line->kind, line->text);
    return 1;
}

}  // namespace

// What the list keeps as the line's string, for screen readers: an Error or
// Warning line begins with its kind in the current language. Null when
// memory runs out.
char* SpokenText(MessageKind kind, const char* text) {
    if (kind == MessageKind::Ok)
        return CopyText(text);
    const char* word = GetTextUtf8(kind == MessageKind::Error ? IDS_KIND_ERROR : IDS_KIND_WARNING);
    return SpokenLine(ReportLine{kind, text}, KindWords{word, "", word});
}

StatusEntry* StatusRowAt(LRESULT index) {
    const LRESULT data = SendMessageA(g_statusList, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data != LB_ERR ? reinterpret_cast<StatusEntry*>(data) : nullptr;
}

bool IsStatusContinuation(LRESULT index) {
    const StatusEntry* entry = StatusRowAt(index);
    return entry != nullptr && entry->continued;
}

LRESULT StatusLineStart(LRESULT index) {
    while (index > 0 && IsStatusContinuation(index))
        --index;
    return index;
}

void SetStatusList(HWND list) {
    g_statusList = list;
}

void SetStatusLinesAddedHook(void (*hook)()) {
    g_linesAdded = hook;
}

void AddStatusEntry(MessageKind kind, char* text) {
    char* utf8 = text != nullptr ? Utf8FromAnsi(text) : nullptr;
    if (utf8 == nullptr)
        return AddStatusUtf8(kind, text);
    free(text);
    AddStatusUtf8(kind, utf8);
}

void AddStatusUtf8(MessageKind kind, char* text) {
    if (text == nullptr)
        return;
    if (!OnUiThread()) {
        EntryRequest request = {kind, text};
        if (RunOnUiThread(AddStatusEntryOnUiThread, &request) == 0)
            free(text);
        return;
    }
    char* kept = NewRowText(text);
    free(text);
    AddRowText(kind, kept, nullptr);
}

void (*StatusLinesAddedHook())() {
    return g_linesAdded;
}

// Adds the line whose `text` is in the list's heap, and owns it; `record` is
// the progress log's line it shows, if it is one.
void AddRowText(MessageKind kind, char* text, const ProgressRecord* record) {
    if (text == nullptr)
        return;
    if (kind == MessageKind::Error)
        SetChecksPassed(0);
    LoadStatusIconsOnce();
    StatusEntry* entry = NewEntry();
    if (entry == nullptr) {
        FreeRowBlock(text);
        return;
    }
    entry->text = text;
    entry->icon = IconFor(kind);
    entry->kind = kind;
    entry->record = record;
    if (!AddRows(entry)) {
        FreeRowBlock(entry->text);
        FreeRowBlock(entry);
    }
    if (g_linesAdded != nullptr)
        g_linesAdded();
}

void AddStatusLine(MessageKind kind, unsigned id, const char* argument) {
    AddStatusEntry(kind, CopyText(GetText(id, argument)));
}

void AddStatusPathLine(MessageKind kind, unsigned id, const char* path) {
    AddStatusUtf8(kind, CopyText(GetTextUtf8(id, path)));
}

char* StatusListReport() {
    const LRESULT count = SendMessageA(g_statusList, LB_GETCOUNT, 0, 0);
    auto* lines = static_cast<ReportLine*>(calloc(count > 0 ? static_cast<size_t>(count) : 1, sizeof(ReportLine)));
    size_t used = 0;
    for (LRESULT i = 0; lines != nullptr && i < count; ++i) {
        const LRESULT data = SendMessageA(g_statusList, LB_GETITEMDATA, static_cast<WPARAM>(i), 0);
        const StatusEntry* entry = reinterpret_cast<const StatusEntry*>(data);
        // A line's continuations hold no line of their own.
        if (entry != nullptr && data != LB_ERR && !entry->continued)
            lines[used++] = ReportLine{entry->kind, entry->text};
    }
    // Each word in a copy of its own: every GetText reuses the same buffer.
    char* error = CopyText(GetTextUtf8(IDS_KIND_ERROR));
    char* ok = CopyText(GetTextUtf8(IDS_KIND_OK));
    char* warning = CopyText(GetTextUtf8(IDS_KIND_WARNING));
    char* report = nullptr;
    if (lines != nullptr && error != nullptr && ok != nullptr && warning != nullptr)
        report = BuildStatusReport(lines, used, KindWords{error, ok, warning});
    free(error);
    free(ok);
    free(warning);
    free(lines);
    return report;
}

void SelectStatusItem(LRESULT index) {
    const LRESULT before = g_selectedItem;
    g_selectedItem = index;
    SendMessageA(g_statusList, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    RepaintLine(before);
    RepaintLine(index);
    // The list box's documentation promises no event for LB_SETCURSEL, and
    // its own count items: the line's selection, and its focus while the
    // list has the focus, are told here.
    TellStatusLineSelected(g_statusList, index);
}

void RememberStatusSelection(LRESULT index) {
    RepaintLine(g_selectedItem);
    g_selectedItem = index;
    RepaintLine(index);
}

LRESULT LastStatusSelection() {
    return g_selectedItem;
}

HWND StatusListWindow() {
    return g_statusList;
}

const StatusEntry* StatusItemEntry(LRESULT index) {
    return StatusRowAt(index);
}

void ForgetStatusSelection() {
    g_selectedItem = -1;
}
