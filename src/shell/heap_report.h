#pragma once

#include <windows.h>

// A leak hunt from outside the process: the main window answers the
// registered message "TalvixDiskWriter.HeapInUse" with the bytes its heaps
// hold in busy blocks. What a heap has committed also holds the gaps that
// blocks freed in another order leave behind, and grows with them; what is
// in use grows only with what the program keeps.
UINT HeapInUseMessage();
LRESULT HeapBytesInUse();
