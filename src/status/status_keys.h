// The status list as the keyboard, the eye and screen readers follow it:
// the arrow, Page and Home/End keys go from line to line, never onto the
// items a long line goes on in; screen readers are given the list as its
// lines (status_accessible.cpp); and the newest line stays in view as lines
// are added, unless the user scrolled up or chose a line. UI thread only.
#pragma once

#include <windows.h>

// Called once, when the pane is made.
void WatchStatusListMoves(HWND list);

// After lines were added: the newest is brought into view, unless the user
// has moved away from it.
void ShowNewestStatusLine();

// The user chose a line: the list stays where the user is.
void NoteStatusLineChosen();

// Whether the user chose a line or scrolled since lines were last followed.
bool UserHoldsStatusLine();
// A write or Put back begins: its lines are followed again.
void FollowNewestStatusLines();
