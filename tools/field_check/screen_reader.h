// What screen readers are told of the wizard, read back as they read it:
// through Active Accessibility (AccessibleObjectFromWindow, IAccessible) and
// through UI Automation, and the focus events (SetWinEventHook) a reader
// follows. Under Wine, whose services for this are largely stubs, what could
// not be read is reported as unavailable and fails nothing.
#pragma once

#include <windows.h>

#include <string>

#include "field_report.h"

// Starts listening for the focus events of process `pid` on a thread of its
// own; false when the hook could not be set.
bool StartFocusWatch(DWORD pid);
// Stops listening; the focus events seen go to the report. "" when the
// outcome after the write was given the focus; otherwise what is missing.
std::string StopFocusWatch(FieldReport* report);

// Reads the names, roles, states and help texts of the wizard `main`'s named
// controls, and counts the status list's lines against `statusLines` (one
// line each, as the status verb gives them). "" when every expected name was
// read both ways; otherwise what is missing.
std::string ReadScreenReaderNames(HWND main, const std::string& statusLines, FieldReport* report);
