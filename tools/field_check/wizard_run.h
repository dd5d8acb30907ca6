// One run of the wizard, started beside this program with its console trace
// going to a file, and worked with the same window verbs as the scenarios.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>

#include "window_verbs.h"

struct WizardRun {
    PROCESS_INFORMATION process;
    HANDLE console;          // the file the program's console trace goes to
    std::string consolePath;
    HWND main;
    std::string failure;     // what last went wrong, for the report
    DWORD exitCode;          // once CloseWizard saw the program end
};

// Ctrl+C or the console's close: every wait ends at once, so that the check
// can close the wizard, put the drive back and write its report.
void RequestStop();
bool StopRequested();

// Starts `program` without a console of the check's (its trace goes to a
// file) and waits until its main window shows; false (with run->failure)
// when it does not.
bool StartWizard(const std::string& program, WizardRun* run);

// Runs verb `command` with `words` (the verb's name first, as the driver
// takes them) on the wizard's window; its answer goes to *answer. False,
// with run->failure set, when the verb fails.
bool RunVerb(WizardRun* run, int (*command)(Context&), std::initializer_list<const char*> words,
             std::string* answer = nullptr);

// The answer of a verb, or "" when it fails.
std::string Ask(WizardRun* run, int (*command)(Context&), std::initializer_list<const char*> words);

// Asks until `done` says yes, the wizard ends, or `limitMs` passes; false
// (with run->failure saying it did not get to `what`) for the last two.
bool WaitUntil(WizardRun* run, unsigned limitMs, const std::function<bool()>& done, const char* what);
// Waits until the verb answers `want` (one line, without its line feed).
bool WaitForAnswer(WizardRun* run, unsigned limitMs, int (*command)(Context&),
                   std::initializer_list<const char*> words, const char* want);

// The program's console trace so far.
std::string ConsoleTrace(const WizardRun& run);

// Presses button `id` on `pane` as the pane hears a click, without waiting
// inside what the click starts; when `taken` does not say yes within a few
// seconds, presses once more and sets *again. False when neither press was
// taken.
bool Press(WizardRun* run, const char* pane, int id, const std::function<bool()>& taken, bool* again);

// How often `line` occurs in the console trace `trace`.
size_t CountLines(const std::string& trace, const char* line);

// Chooses drive `letter` on Select target and goes to Install.
bool ChooseDrive(WizardRun* run, char letter);

// Closes the window as a user would and waits for the program to end;
// false when it does not end.
bool CloseWizard(WizardRun* run);
