// What screen readers are told of the wizard, read back as they read it:
// through Active Accessibility (AccessibleObjectFromWindow, IAccessible) and
// through UI Automation, and the focus events (SetWinEventHook) a reader
// follows. Under Wine, whose services for this are largely stubs, what could
// not be read is reported as unavailable and fails nothing; the status list's
// lines and the focus event of an arrow move in it, which are the program's
// own, are read there too and fail the run when missing.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "field_report.h"

// Starts listening for the focus events of process `pid` on a thread of its
// own; false when the hook could not be set.
bool StartFocusWatch(DWORD pid);
// Stops listening; the focus events seen go to the report. "" when the
// outcome after the write was given the focus; otherwise what is missing.
std::string StopFocusWatch(FieldReport* report);

// Reads the names, roles, states and help texts of the wizard `main`'s named
// controls, and the status list's lines against what `statusLines` answers
// (one line each, as the status verb gives them): as many, each named with its kind
// word and text, a selectable list item, both ways. "" when all was read as
// expected; otherwise what is missing.
std::string ReadScreenReaderNames(HWND main, const std::function<std::string()>& statusLines, FieldReport* report);

// Gives the status list of the wizard `main` (its Install pane showing) the
// focus and presses an arrow in it, as the keyboard would: a reader must be
// told the line moved to (a focus event naming it, while the focus watch
// runs). "" when it was; otherwise what is missing.
std::string HearArrowMove(HWND main, FieldReport* report);
