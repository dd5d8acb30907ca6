// The report the field check leaves for the user to send: what Windows and
// the device are, each step with its outcome and time, the program's status
// lines and console trace, and a PASS or FAIL line per step. It holds no
// contents of the drive or of any file, only their SHA-256 digests.
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
    std::vector<Fact> device;
    std::vector<Fact> digests;
    std::vector<StepRecord> steps;
    std::vector<Fact> answerTimes;
    std::vector<Fact> statusLines;   // per wizard run: its status lines
    std::vector<Fact> consoleTrace;  // per wizard run: its console trace
};

// True when there are steps and every one passed.
bool AllPassed(const FieldReport& report);

// The report's text, CR LF at each line's end as Notepad wants it.
std::string ComposeReport(const FieldReport& report);
