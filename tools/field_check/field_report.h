// The report the field check leaves for the user to send: what Windows and
// the device are, which programs ran, each step with its outcome and time,
// the boxes the wizard opened and how they were answered, the program's
// status lines and console trace, what the drive holds at the end, and a
// PASS or FAIL line per step. It holds no contents of the drive or of any
// file, only their SHA-256 digests, and no user name.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct StepRecord {
    std::string name;
    bool passed;
    double seconds;
    std::string detail;  // what was found, or why the step failed
};

using Fact = std::pair<std::string, std::string>;  // label, value

struct FieldReport {
    std::string date;
    std::vector<Fact> windows;  // version and build, display scale
    std::vector<Fact> programs;  // the program checked, the check: SHA-256 and version
    std::vector<Fact> device;
    std::vector<Fact> digests;
    std::vector<StepRecord> steps;
    std::vector<Fact> answerTimes;
    std::vector<Fact> boxes;  // a box's text, and what was answered
    std::vector<Fact> notes;  // a click pressed twice, what the drive holds at the end
    std::vector<Fact> screenReader;  // what screen readers were told, and the focus events
    std::vector<Fact> statusLines;   // per wizard run: its status lines
    std::vector<Fact> consoleTrace;  // per wizard run: its console trace
    std::vector<std::string> userNames;  // replaced by %USERNAME% wherever a path holds them
    std::vector<std::string> profileRoots;  // the folders that hold users' profiles
};

// True when there are steps and every one passed.
bool AllPassed(const FieldReport& report);

// "Windows 11 Pro" for a ProductName of "Windows 10 Pro" at build 22000 or
// later: Windows 11 kept the registry's old name.
std::string WindowsEdition(const std::string& productName, unsigned long build);

// The report's text, CR LF at each line's end as Notepad wants it.
std::string ComposeReport(const FieldReport& report);
