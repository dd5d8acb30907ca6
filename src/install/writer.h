// Writing the image onto the chosen drive.
#pragma once

#include <windows.h>

#include <cstdint>

// Starts one write, unless one is already being started or running; the
// bar shows its progress. Returns false when no write was started.
bool StartWriter(HWND progressBar);

// Starts writing the chosen drive's kept copy `copy` (its file's name) back,
// under the same rule.
bool StartPutBack(HWND progressBar, const char* copy);

// Thread procedure of one write; `job` is the WriteJob that StartWriter made.
void __cdecl WriterThread(void* job);

// Shows `position` of `total` on the Install pane's bar; when the two are
// equal the wizard moves on to the next pane. Reports during the write are
// posted and coalesced; the final one is shown before the pane changes.
void ProgressCallback(uint32_t position, uint32_t total);

