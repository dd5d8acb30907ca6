// The Install pane's status list: owner-drawn lines marked Ok, Error or
// Warning, and the progress log of the write-process lines that every check
// run replays. Everything here runs on the UI thread. A worker's progress
// lines are posted there in order, so that a write never waits for the
// window; its other calls are sent.
#pragma once

#include <windows.h>

#include "install/message_kind.h"

// One list item; the item data is a pointer to it, beside the line's string
// (what a screen reader reads: the text, after its kind for an Error or
// Warning). The driver in the tests reads this layout from outside the
// process.
struct StatusEntry {
    char* text;  // owned
    HICON icon;  // shared, not owned; the icon for the DPI shown
    MessageKind kind;
};

void SetStatusList(HWND list);

// The one way into the list; takes ownership of `text` (malloc'ed).
void AddStatusEntry(MessageKind kind, char* text);

// Adds GetText(id, argument) as a status line.
void AddStatusLine(MessageKind kind, unsigned id, const char* argument);

// Adds GetText(id, argument) as a status line and keeps it in the progress log.
void LogProgress(MessageKind kind, unsigned id, const char* argument);
void LogProgressNumber(MessageKind kind, unsigned id, int number);
// The UI thread's half of LogProgress: records and shows an already formatted text.
void LogProgressText(MessageKind kind, const char* text);

void ReplayProgressLog();
void ClearProgressLog();
void ClearStatusList();
// While held, the list is rebuilt without being drawn line by line; it is
// drawn once, whole, when let go.
void HoldStatusListRedraw(bool hold);

// Every line of the list as one text, each line starting with its kind in
// the current language (BuildStatusReport); malloc'ed, null when memory runs out.
char* StatusListReport();

void MeasureStatusItem(HWND list, MEASUREITEMSTRUCT* measure);
void DrawStatusItem(const DRAWITEMSTRUCT* item);

// The window moved to a display of another DPI: icons, fonts and line
// heights follow.
void RescaleStatusList();

// Selects the last line and, while the Install pane shows, gives the list the
// focus: a screen reader then speaks the outcome of a write or a refusal.
void FocusLastStatusLine();
