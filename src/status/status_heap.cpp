// The rows' heap: every line's entries and text, made and freed on the UI
// thread.
#include "status/status_list_parts.h"
#include "status/status_list.h"

#include <cstring>

namespace {

// Every line's entries and text, in a heap of the list's own: made and
// freed on this thread while other threads take and give back blocks of
// their own, in the heap that every thread shares they were scattered among
// those, and the program grew with the machine's load, not with its lines.
HANDLE g_rowHeap;

}  // namespace

void* NewRowBlock(size_t size) {
    if (g_rowHeap == nullptr)
        g_rowHeap = HeapCreate(0, 0, 0);
    return g_rowHeap != nullptr ? HeapAlloc(g_rowHeap, HEAP_ZERO_MEMORY, size) : nullptr;
}

void FreeRowBlock(void* block) {
    if (block != nullptr)
        HeapFree(g_rowHeap, 0, block);
}

StatusEntry* NewEntry() {
    return static_cast<StatusEntry*>(NewRowBlock(sizeof(StatusEntry)));
}

// A copy of `text` in the list's heap, or null.
char* NewRowText(const char* text) {
    const size_t size = strlen(text) + 1;
    char* copy = static_cast<char*>(NewRowBlock(size));
    if (copy != nullptr)
        memcpy(copy, text, size);
    return copy;
}

// Empties the list and frees its continuation rows' entries; each line's
// first entry, with its text, is then the caller's.
void ReleaseRowsKeepingLines() {
    const LRESULT count = SendMessageA(StatusListWindow(), LB_GETCOUNT, 0, 0);
    for (LRESULT i = count - 1; i >= 0; --i) {
        StatusEntry* entry = StatusRowAt(i);
        if (entry != nullptr && entry->continued)
            FreeRowBlock(entry);
        SendMessageA(StatusListWindow(), LB_SETITEMDATA, static_cast<WPARAM>(i), 0);
    }
    ForgetStatusSelection();
    // One message for the lot: deleting line by line lays the list out anew each time.
    SendMessageA(StatusListWindow(), LB_RESETCONTENT, 0, 0);
}

// Takes out every line but the progress log's: a check run's lines, and any
// added since. The log's lines stay where they are: a session of many writes
// holds hundreds, and making them all again at every check run was slow and
// scattered the heap.
void ReleaseCheckRows() {
    for (LRESULT i = SendMessageA(StatusListWindow(), LB_GETCOUNT, 0, 0) - 1; i >= 0; --i) {
        StatusEntry* entry = StatusRowAt(i);
        if (entry != nullptr && entry->record != nullptr)
            continue;
        if (entry != nullptr && !entry->continued)
            FreeRowBlock(entry->text);
        FreeRowBlock(entry);
        SendMessageA(StatusListWindow(), LB_DELETESTRING, static_cast<WPARAM>(i), 0);
    }
    ForgetStatusSelection();
    SendMessageA(StatusListWindow(), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}
