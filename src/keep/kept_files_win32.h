// The kept copies' folder on Windows: "TalvixOS Disk Writer" in the
// computer's application data (%ProgramData%), open to SYSTEM and the
// Administrators alone. Every path is a wide one.
#pragma once

#include "keep/folder_trust.h"
#include "keep/kept_store.h"

const KeptFiles& Win32KeptFiles();

// The letter of the drive that holds the folder; 0 when Windows gives none.
char KeptFolderLetter();

// The name what stood where the copies' folder goes was set aside under,
// when this run found something not this program's own there, and in
// `*finding` what it was; "" otherwise.
const char* KeptFolderSetAside(FolderFinding* finding);
