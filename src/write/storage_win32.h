// The storage calls as Windows makes them.
#pragma once

#include "write/storage_calls.h"

// The table of real calls; its notes go to the console.
const StorageCalls& Win32StorageCalls();
