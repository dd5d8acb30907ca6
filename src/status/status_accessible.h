// The status list as screen readers are given it, through Active
// Accessibility and (by its proxy) UI Automation: one item for each line,
// named with its kind and text, however many list-box items the line takes.
// UI thread only.
#pragma once

#include <windows.h>

// WM_GETOBJECT for the list: OBJID_CLIENT is answered with the lines'
// object (*answered true, the result to return); any other request is the
// list box's own.
LRESULT AnswerStatusListObject(HWND list, WPARAM flags, LPARAM objectId, bool* answered);

// Tells screen readers that the line of item `item` is selected and, while
// the list has the focus, that it has the focus; the list box's own events
// count items, not lines.
void TellStatusLineSelected(HWND list, LRESULT item);
