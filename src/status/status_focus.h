// The status list's selection and focus, and what a screen reader is told
// of it: the outcome of a write, the lines that Start's description
// carries. UI thread only.
#pragma once

#include <windows.h>


// LBN_SELCHANGE: a selection that lands on a line's continuation goes to a
// line's first item (the next line's when an arrow moved down from this one).
void FollowStatusSelection();

// Selects the last line and, while the Install pane shows, gives the list the
// focus: a screen reader then speaks the outcome of a write or a refusal.
void FocusLastStatusLine();

// Says the outcome of the write that ended, once: the focus goes to its line
// where it can (the Install pane shows, the wizard is in front); the line is
// selected in any case. Run after the write's last check run.
void AnnounceWriteOutcome();

// The wizard is in front again: an outcome said while it was not takes the
// focus now (its line, when the Install pane shows).
void AnnouncePendingOutcome();
// The Warning and Error lines (UTF-8), each after its kind word, one after
// the other, each said once
// however often it is replayed; malloc'ed, null when memory runs out.
char* StatusWarningsAndErrors();

// As a check run begins: the line the user holds, if any, is noted.
void RememberHeldStatusLine();
// After the list was filled anew: the line the user held stays selected;
// without one, while the list has the focus, its last line is, so that the
// focus is on a line rather than nowhere.
void KeepStatusFocusOnLastLine();
