// The kept copies' folder on Windows: "TalvixOS Disk Writer" in the
// computer's application data (%ProgramData%), open to SYSTEM and the
// Administrators alone. Every path is a wide one.
#pragma once

#include "keep/kept_store.h"

const KeptFiles& Win32KeptFiles();
