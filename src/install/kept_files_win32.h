// The kept copies' folder on Windows: "TalvixOS Disk Writer" in the user's
// local application data.
#pragma once

#include "install/kept_store.h"

const KeptFiles& Win32KeptFiles();
