// Files dropped on the wizard's window.
#pragma once

#include <windows.h>
#include <shellapi.h>

// One file dropped becomes the external image and the checks run again;
// several files, or a drop while a drive is being written, are refused with
// a status line. Takes the drop (DragFinish).
void TakeDroppedFiles(HDROP drop);
