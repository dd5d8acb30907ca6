// The owner and DACL of the kept copies' folder and of the files in it,
// read and set through their handles, and judged by folder_trust.
#pragma once

#include <windows.h>

enum class FolderCheck {
    Ours,      // this program's: its own DACL applied again through the handle
    SetAside,  // another's, or open to others: renamed aside, a new one is to be made
    Refused,   // not a folder (a file stands there), or it could not be looked at
};

// Judges the folder already at `folder`, opened without following a reparse
// point. `asideName` gets the last part of the name it was renamed to.
FolderCheck CheckExistingFolder(const wchar_t* folder, const wchar_t* sddl, wchar_t (&asideName)[96]);

// True when `file` (open with READ_CONTROL) is owned by SYSTEM, the
// Administrators or this process itself.
bool IsOwnFile(HANDLE file);
