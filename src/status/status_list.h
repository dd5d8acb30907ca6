// The Install pane's status list: owner-drawn lines marked Ok, Error or
// Warning, and the progress log of the write-process lines that every check
// run replays. Everything here runs on the UI thread. A worker's progress
// lines are posted there in order, so that a write never waits for the
// window; its other calls are sent.
#pragma once

#include <windows.h>

#include "status/message_kind.h"

#include <cstdint>

// One list item; the item data is a pointer to it, beside the line's string
// (what a screen reader reads: the text, after its kind for an Error or
// Warning). A line too tall for one item goes on in items of its own
// (StatusRowOf says how): those draw the rest of the text, have no icon and
// an empty string, and the keyboard passes over them. The driver in the
// tests reads this layout from outside the process.
struct ProgressRecord;
struct StatusEntry {
    char* text;  // the whole line, UTF-8; owned by its first item, shared by the others
    HICON icon;  // shared, not owned; the icon for the DPI shown; null on a continuation
    MessageKind kind;
    bool continued;  // the line goes on from the item above
    uint32_t from;    // the part of `text` this item draws
    uint32_t length;
    const ProgressRecord* record;  // the progress log's line shown here; null for any other
};

void SetStatusList(HWND list);

// `hook` runs after lines were added, and as the list is let redraw.
void SetStatusLinesAddedHook(void (*hook)());

// The lines are kept in UTF-8 and shown through the Unicode calls, so that a
// path keeps every character Windows can name. Most texts come from the
// catalogue in the ANSI code page and are converted on their way in; a line
// that names the external image is made with GetTextUtf8 and goes in as it is.

// Adds a line; takes ownership of `text` (malloc'ed, in the ANSI code page).
void AddStatusEntry(MessageKind kind, char* text);
// The one way into the list: the same for a UTF-8 `text`.
void AddStatusUtf8(MessageKind kind, char* text);

// Adds GetText(id, argument) as a status line.
void AddStatusLine(MessageKind kind, unsigned id, const char* argument);
// Adds GetTextUtf8(id, path) as a status line: `path` (UTF-8) shows as typed.
void AddStatusPathLine(MessageKind kind, unsigned id, const char* path);

// Adds GetText(id, argument) as a status line and keeps it in the progress log.
void LogProgress(MessageKind kind, unsigned id, const char* argument);
void LogProgressNumber(MessageKind kind, unsigned id, int number);
// Logs the Ok line that names a pass of the write as it begins; it stays in
// the progress log until DropPassLines (once the write is done, or the next
// starts), and its row until the next check run.
void LogPassProgress(unsigned id, const char* argument);
void DropPassLines();
// LogProgress for a line that names a UTF-8 `path`.
void LogProgressPath(MessageKind kind, unsigned id, const char* path);
// LogProgress for the line that says a write or Put back is done: the outcome
// that AnnounceWriteOutcome says, unless an Error ends the write after it.
void LogProgressOutcome(MessageKind kind, unsigned id, const char* argument);
// The UI thread's half of LogProgress: records and shows an already formatted text.
void LogProgressText(MessageKind kind, const char* text);
// The same for a UTF-8 text.
void LogProgressUtf8(MessageKind kind, const char* text);

void ReplayProgressLog();
void ClearProgressLog();
void ClearStatusList();
// While held, the list is rebuilt without being drawn line by line; it is
// drawn once, whole, when let go.
void HoldStatusListRedraw(bool hold);

// Every line of the list as one UTF-8 text, each line starting with its kind
// in the current language (BuildStatusReport); malloc'ed, null when memory
// runs out.
char* StatusListReport();

void MeasureStatusItem(HWND list, MEASUREITEMSTRUCT* measure);
void DrawStatusItem(const DRAWITEMSTRUCT* item);

// The window moved to a display of another DPI: icons, fonts and line
// heights follow.
void RescaleStatusList();

// For the list's selection and focus (status_focus.cpp): the list; an item's
// entry, null when it has none; the first item of the line that item
// `index` belongs to; the outcome a write noted and has not said yet
// (malloc'ed, the caller's to free; null when none).
HWND StatusListWindow();

// Selects item `index`; remembered to tell which way the next selection
// moved (LastStatusSelection).
void SelectStatusItem(LRESULT index);
// Notes an item the user selected.
void RememberStatusSelection(LRESULT index);
// The item last selected; -1 after the list was emptied.
LRESULT LastStatusSelection();
const StatusEntry* StatusItemEntry(LRESULT index);
LRESULT StatusLineStart(LRESULT index);
char* TakeWriteOutcome();
