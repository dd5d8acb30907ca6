// The Select-target pane's list of removable drives and its rebuild thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "devices/drive_kind.h"

// One row of the list; the item data is a pointer to it, beside the row's
// string (its drive letter). Owned by the list
// (UI thread): released when its row is deleted.
struct DriveEntry {
    char rootPath[4];      // "E:\"
    HIMAGELIST imageList;  // the system image list, never destroyed
    int iconIndex;         // -1: no icon
    bool fixedDisk;        // a stick or card that Windows calls fixed
    DriveKind kind;        // what the icon shows, said after the letter
};

// What the list tells the rooms above it, registered at start. The device
// behind each drive is asked for off the UI thread and travels with the rows
// as one opaque survey, which the UI thread takes over with them.
struct DriveListHooks {
    // Rebuild thread: identifies the drives of `letters` (the rows to be
    // shown, in order). Returns an owned survey, or null.
    void* (*identify)(const char* letters);
    // UI thread, before the rows are shown: takes the survey (or null) over.
    void (*take)(void* survey);
    // Frees a survey that never reached the UI thread.
    void (*release)(void* survey);
    // UI thread, once a rebuild's rows are in: what depends on the drives
    // (the target, the checks) follows.
    void (*applied)();
    // UI thread: the user picked drive `letter`'s row, anew or again.
    void (*chosen)(char letter);
    // Rebuild thread: whether fixed drive `letter` lies on a stick or card
    // that calls itself fixed, and may be listed after the removable ones.
    bool (*fixedStick)(char letter);
    // Rebuild thread: the bus `survey` found drive `letter` on (0 when not known).
    uint32_t (*busType)(const void* survey, char letter);
};
void SetDriveListHooks(const DriveListHooks& hooks);

// Starts a DriveListRefresh thread for the pane's list (or, without a pane,
// for the list that an earlier refresh was given); does not wait for it.
// False when no rebuild follows: no list is known yet, or no thread started.
bool StartDriveListRefresh(HWND pane);

// Thread procedure: one rebuild of the list.
void __cdecl DriveListRefresh(void* pane);

// Rebuilds the list from the removable drives present. Requests that come
// while a rebuild runs are folded into one more rebuild after it.
void RebuildDriveList(HWND list);

// The UI thread's half of a rebuild: replaces the rows with `update`'s
// entries, keeping the selected drive selected. Returns the new row count
// when it grew, else 0.
struct DriveListUpdate;
LRESULT ApplyDriveListUpdate(DriveListUpdate* update);

constexpr int kDriveRowHeight = 40;  // pixels at 96 dpi

// A row's height at the window's DPI, room for the system's drive icon included.
int DriveRowHeight();

// Draws a row: the drive's icon and letter, the chosen one highlighted.
void DrawDriveItem(const DRAWITEMSTRUCT* item);

// The user picked the list's selected row (a click, even on the row already
// selected, or the keyboard): it is the destination, chosen anew.
void OnDriveRowPicked(HWND list);

// The window moved to a display of another DPI: the letters' font and the
// rows' height follow.
void RescaleDriveList();
