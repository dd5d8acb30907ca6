// Copying the status list: Ctrl+C in the list, and "Copy" in its context menu
// (right button, Shift+F10 or the menu key), put the whole report on the
// clipboard, so that a user can paste it into a mail.
#pragma once

#include <windows.h>

// Teaches the list both ways of copying; called once, when the pane is made.
void WatchStatusListKeys(HWND list);
