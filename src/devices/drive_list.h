// The Select-target pane's list of removable drives and its rebuild thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

// One row of the list; the item data is a pointer to it, beside the row's
// string (its drive letter). Owned by the list
// (UI thread): released when its row is deleted.
struct DriveEntry {
    char rootPath[4];      // "E:\"
    HIMAGELIST imageList;  // the system image list, never destroyed
    int iconIndex;         // -1: no icon
};

// Registered at start: runs on the UI thread when a rebuild changed the
// chosen target (its drive went), so that what depends on it follows.
void SetTargetChangedHook(void (*hook)());

// Starts a DriveListRefresh thread for the pane's list (or, without a pane,
// for the list that an earlier refresh was given); does not wait for it.
void StartDriveListRefresh(HWND pane);

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

// Draws a row: the drive's icon and letter, the chosen one highlighted.
void DrawDriveItem(const DRAWITEMSTRUCT* item);

// The window moved to a display of another DPI: the letters' font and the
// rows' height follow.
void RescaleDriveList();
