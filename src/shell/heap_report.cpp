#include "shell/heap_report.h"

namespace {

UINT g_heapInUse;  // 0 until registered

// The heap is locked for the walk: another thread's allocation would move
// the blocks under it. Blocks only; regions and uncommitted ranges are not
// data.
SIZE_T BusyBytes(HANDLE heap) {
    SIZE_T bytes = 0;
    if (!HeapLock(heap))
        return 0;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0)
            bytes += entry.cbData;
    }
    HeapUnlock(heap);
    return bytes;
}

}  // namespace

UINT HeapInUseMessage() {
    if (g_heapInUse == 0)
        g_heapInUse = RegisterWindowMessageA("TalvixDiskWriter.HeapInUse");
    return g_heapInUse;
}

// Every heap of the process: the process heap, the C runtime's, the status
// list's, and those of the system's libraries; -1 beyond 64 of them.
LRESULT HeapBytesInUse() {
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(ARRAYSIZE(heaps), heaps);
    if (count == 0 || count > ARRAYSIZE(heaps))
        return -1;
    SIZE_T bytes = 0;
    for (DWORD i = 0; i < count; ++i)
        bytes += BusyBytes(heaps[i]);
    return static_cast<LRESULT>(bytes);
}
