// The progress log in the status list: the write process's lines, logged
// from any thread and kept in the list from one check run to the next, and
// the outcome of the last write as a screen reader is to hear it.
#include "status/status_list_parts.h"
#include "status/status_list.h"

#include <cstdlib>
#include <cstring>

#include "status/progress_log.h"
#include "shell/app_state.h"
#include "shell/ui_thread.h"
#include "text/text.h"
#include "text/unicode_text.h"
#include "text/utf8_text.h"

namespace {

// While a check run adds its lines, where the next goes: above the progress
// log's lines, which stay in the list from one check run to the next.
// Negative outside a check run: lines then go at the end.
LRESULT g_checkInsert = -1;
// UI thread only.
ProgressLog g_progressLog;
// The outcome of the write that runs or ran last, as a screen reader says
// it: the Error that ended it, or its done line. Said once, then freed.
char* g_outcome;

// A progress line on its way from a worker: posted, so the worker never waits
// for the window, and freed by the UI thread.
struct ProgressRequest {
    MessageKind kind;
    bool outcome;
    bool pass;
    char text[1];  // allocated to the text's length
};

// Without memory for a copy the line is lent and sent: slower, never lost.
struct LentProgressRequest {
    MessageKind kind;
    bool outcome;
    bool pass;
    const char* text;
};

void LogLine(MessageKind kind, const char* text, bool outcome, bool pass = false);

LRESULT LogLentProgressTextOnUiThread(void* request) {
    const LentProgressRequest* line = static_cast<const LentProgressRequest*>(request);
    LogLine(line->kind, line->text, line->outcome, line->pass);
    return 1;
}

LRESULT LogProgressTextOnUiThread(void* request) {
    ProgressRequest* line = static_cast<ProgressRequest*>(request);
    DelayStatusListRedraw();
    LogLine(line->kind, line->text, line->outcome, line->pass);
    free(line);
    return 1;
}

// An Error logged by a write ends it; its done line is marked by the writer.
void NoteOutcome(MessageKind kind, const char* text, bool outcome) {
    if (!outcome && kind != MessageKind::Error)
        return;
    char* spoken = SpokenText(kind, text);
    if (spoken == nullptr)
        return;
    free(g_outcome);
    g_outcome = spoken;
}

void LogLine(MessageKind kind, const char* text, bool outcome, bool pass) {
    if (!OnUiThread()) {
        if (text == nullptr)
            return;
        const size_t length = strlen(text);
        auto* request = static_cast<ProgressRequest*>(malloc(sizeof(ProgressRequest) + length));
        if (request == nullptr) {
            LentProgressRequest lent = {kind, outcome, pass, text};
            RunOnUiThread(LogLentProgressTextOnUiThread, &lent);
            return;
        }
        request->kind = kind;
        request->outcome = outcome;
        request->pass = pass;
        memcpy(request->text, text, length + 1);
        // Not run only when the window is gone: the line is then ours to free.
        if (!QueueOnUiThread(LogProgressTextOnUiThread, request))
            free(request);
        return;
    }
    if (text == nullptr)
        return;
    const bool recorded = AppendProgressRecord(&g_progressLog, kind, text, pass);
    NoteOutcome(kind, text, outcome);
    AddRowText(kind, NewRowText(text), recorded ? g_progressLog.last : nullptr);
}

// LogLine for a text in the ANSI code page.
void LogAnsiLine(MessageKind kind, const char* text, bool outcome) {
    char* utf8 = text != nullptr ? Utf8FromAnsi(text) : nullptr;
    // Without memory for the copy the text goes as it is: whole when it is ASCII.
    LogLine(kind, utf8 != nullptr ? utf8 : text, outcome);
    free(utf8);
}

}  // namespace

LRESULT CheckInsertPosition() {
    return g_checkInsert;
}

void NoteCheckLineInserted() {
    ++g_checkInsert;
}

void LogProgressPath(MessageKind kind, unsigned id, const char* path) {
    LogLine(kind, GetTextUtf8(id, path), false);
}

void LogProgressText(MessageKind kind, const char* text) {
    LogAnsiLine(kind, text, false);
}

void LogProgressUtf8(MessageKind kind, const char* text) {
    LogLine(kind, text, false);
}

void LogProgress(MessageKind kind, unsigned id, const char* argument) {
    // Formatted on the calling thread, in its own text buffer.
    LogProgressText(kind, GetText(id, argument));
}

void LogPassProgress(unsigned id, const char* argument) {
    const char* text = GetText(id, argument);
    char* utf8 = Utf8FromAnsi(text);
    LogLine(MessageKind::Ok, utf8 != nullptr ? utf8 : text, false, true);
    free(utf8);
}

void DropPassLines() {
    // Their rows stay until the next check run takes them out.
    const LRESULT count = SendMessageA(StatusListWindow(), LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i)
        if (StatusEntry* entry = StatusRowAt(i); entry != nullptr && entry->record != nullptr && entry->record->pass)
            entry->record = nullptr;
    DropPassRecords(&g_progressLog);
}

void LogProgressNumber(MessageKind kind, unsigned id, int number) {
    LogProgressText(kind, GetText(id, number));
}

void LogProgressOutcome(MessageKind kind, unsigned id, const char* argument) {
    LogAnsiLine(kind, GetText(id, argument), true);
}

void ReplayProgressLog() {
    g_checkInsert = -1;
    // The log's lines that the list shows already stay; those logged since
    // come after them.
    const ProgressRecord* shown = nullptr;
    for (LRESULT i = SendMessageA(StatusListWindow(), LB_GETCOUNT, 0, 0) - 1; i >= 0 && shown == nullptr; --i) {
        const StatusEntry* entry = StatusRowAt(i);
        shown = entry != nullptr ? entry->record : nullptr;
    }
    const ProgressRecord* const from = shown != nullptr ? shown->next : g_progressLog.first;
    // An Error in the log stops Start at every check run, as its line did
    // when it was added.
    for (const ProgressRecord* record = g_progressLog.first; record != from; record = record->next)
        if (record->kind == MessageKind::Error)
            SetChecksPassed(0);
    // The list is told first how many lines come: its array of items is then
    // made once at its size, not grown step by step.
    WPARAM items = 0;
    LPARAM bytes = 0;
    for (const ProgressRecord* record = from; record != nullptr; record = record->next) {
        ++items;
        bytes += static_cast<LPARAM>((strlen(record->text) + 1) * sizeof(wchar_t));
    }
    if (items > 0)
        SendMessageW(StatusListWindow(), LB_INITSTORAGE, items, bytes);
    // The newest line is brought into view once, after the last.
    void (*const added)() = StatusLinesAddedHook();
    SetStatusLinesAddedHook(nullptr);
    for (const ProgressRecord* record = from; record != nullptr; record = record->next)
        AddRowText(record->kind, NewRowText(record->text), record);
    SetStatusLinesAddedHook(added);
    if (added != nullptr)
        added();
}

void ClearProgressLog() {
    // The lines shown stay until the next check run takes them out.
    const LRESULT count = StatusListWindow() != nullptr ? SendMessageA(StatusListWindow(), LB_GETCOUNT, 0, 0) : 0;
    for (LRESULT i = 0; i < count; ++i)
        if (StatusEntry* entry = StatusRowAt(i))
            entry->record = nullptr;
    ReleaseProgressLog(&g_progressLog);
}

void ClearStatusList() {
    ReleaseCheckRows();
    g_checkInsert = 0;
}

char* TakeWriteOutcome() {
    char* outcome = g_outcome;
    g_outcome = nullptr;
    return outcome;
}
