// What the report says about this PC: Windows' version and build, the
// display scale, the programs that ran, and the user's names to keep out of it.
#pragma once

#include <windows.h>

#include "field_report.h"

std::vector<Fact> WindowsFacts();

// The scale of the monitor that `window` is on.
std::string WindowScale(HWND window);

// Whether the check runs under Wine, whose screen-reader services are
// largely stubs.
bool UnderWine();

// "PATH, SHA-256, version V" of the program at `path`.
Fact ProgramFact(const std::string& label, const std::string& path);

// The user's name as paths may hold it: the logon name, the profile
// folder's name, and its short form.
std::vector<std::string> UserNames();
// The folder that holds the users' profiles ("C:\Users"); "" when not known.
std::string ProfilesFolder();
