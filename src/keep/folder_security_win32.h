// The owner and DACL of the kept copies' folder and of the files in it,
// read and set through their handles, and judged by folder_trust.
#pragma once

#include <windows.h>

#include "keep/folder_trust.h"

enum class FolderCheck {
    Ours,      // this program's: held open, its own DACL and owner applied again through the handle
    SetAside,  // anything else at the name: renamed aside, a new folder is to be made
    Refused,   // nothing is at the name, or what is could not be set aside
};

// Judges what stands at `folder`, looked at without following a link, with
// the backup, restore and take-ownership privileges enabled meanwhile. Ours:
// `*held` is the folder, open until the program ends so that it cannot be
// removed or renamed. SetAside: `asideName` gets the last part of the name
// it was renamed to and `*finding` why.
FolderCheck CheckExistingFolder(const wchar_t* folder, const wchar_t* sddl, wchar_t (&asideName)[96],
                                FolderFinding* finding, HANDLE* held);

// What `file` (open with READ_CONTROL) is, for IsSoundKeptFile: `folder`
// is the held folder's handle.
KeptFileFacts FactsOf(HANDLE file, HANDLE folder);

// True when both handles are of one file or folder.
bool SameObject(HANDLE a, HANDLE b);
