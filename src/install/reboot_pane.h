// The Reboot pane: what the last write did and what to do next, and the
// Reboot button, which restarts Windows once the user agrees.
#pragma once

#include <windows.h>

INT_PTR CALLBACK RebootPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam);

// Writer thread, once the drive holds the image `name` and was read back:
// the pane tells of it from then on. `restarted` is false when the drive's
// USB device was not restarted, so the user must plug it in again.
void NoteImageWritten(const char* name, char letter, bool restarted);

// UI thread, as any write or Put back begins: the drive no longer holds
// what the pane would tell of.
void ForgetImageWritten();

// Shows the pane's text in the current language (after a write, or a new
// language).
void ShowRebootText();

// After a write, as the pane shows: the focus goes to the pane's text, so
// that a screen reader reads what happened and what to do next.
void FocusRebootText();
// The wizard is in front again: the focus the text could not take is given.
void FocusPendingRebootText();

// The Reboot button waits while a drive is being written.
void UpdateRebootControls();
