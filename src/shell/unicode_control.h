// Controls that hold any text Windows can show.
#pragma once

#include <windows.h>

// A dialog made from an ANSI template makes ANSI controls, which hold only
// what the ANSI code page can: a path with a letter outside it would come
// back with '?' in its place. Makes control `id` of `pane` again as a
// Unicode window of class `className`, in the same place, with the same id,
// style, font and tab order. Returns the control, the old one when the new
// one cannot be made.
HWND MakeControlUnicode(HWND pane, int id, const wchar_t* className);
