// What the status list's own files share: its rows looked up, made and
// freed, a line laid out into rows, and where a check run's lines go. UI
// thread only; the rest of the program uses status_list.h.
#pragma once

#include <windows.h>

#include <cstddef>

#include "status/message_kind.h"

struct ProgressRecord;
struct StatusEntry;

// status_list.cpp: the lines and their kinds.
// What the list keeps as a line's string, for screen readers: an Error or
// Warning line begins with its kind in the current language. Null when
// memory runs out; malloc'ed.
char* SpokenText(MessageKind kind, const char* text);
StatusEntry* StatusRowAt(LRESULT index);
bool IsStatusContinuation(LRESULT index);
// Adds the line whose `text` is in the rows' heap, and owns it; `record` is
// the progress log's line it shows, if it is one.
void AddRowText(MessageKind kind, char* text, const ProgressRecord* record);
void (*StatusLinesAddedHook())();
void ForgetStatusSelection();

// status_heap.cpp: the rows' heap.
void* NewRowBlock(size_t size);
void FreeRowBlock(void* block);
StatusEntry* NewEntry();
// A copy of `text` in the rows' heap, or null.
char* NewRowText(const char* text);
// Empties the list and frees its continuation rows' entries; each line's
// first entry, with its text, is then the caller's.
void ReleaseRowsKeepingLines();
// Takes out every line but the progress log's.
void ReleaseCheckRows();

// status_draw.cpp: icons, fonts, measuring and drawing.
void LoadStatusIconsOnce();
HICON IconFor(MessageKind kind);
// Adds the line as rows no taller than Windows lets an item be; false when
// the list took not even the first (the entry is then still the caller's).
bool AddRows(StatusEntry* first);
// Has every item of the line that starts at `start` drawn again.
void RepaintLine(LRESULT start);
// Holds the list's redraw for a moment, while a worker's lines come.
void DelayStatusListRedraw();

// status_replay.cpp: where a check run's next line goes (negative: at the
// end), and that one went there.
LRESULT CheckInsertPosition();
void NoteCheckLineInserted();
