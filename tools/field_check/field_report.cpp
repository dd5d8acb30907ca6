#include "field_report.h"

#include <cstdio>

#include "report_privacy.h"

namespace {

void Line(std::string* out, const std::string& text) {
    *out += text;
    *out += "\r\n";
}

void Section(std::string* out, const char* title) {
    Line(out, "");
    Line(out, std::string("== ") + title + " ==");
}

void Facts(std::string* out, const std::vector<Fact>& facts) {
    for (const Fact& fact : facts)
        Line(out, fact.first + ": " + fact.second);
}

// A block of lines from another program, each indented, with its own line
// ends made CR LF.
void Block(std::string* out, const std::string& title, const std::string& text) {
    Line(out, title + ":");
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            Line(out, "    " + line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty())
        Line(out, "    " + line);
    if (text.empty())
        Line(out, "    (none)");
}

}  // namespace

bool AllPassed(const FieldReport& report) {
    for (const StepRecord& step : report.steps)
        if (!step.passed)
            return false;
    return !report.steps.empty();
}

std::string WindowsEdition(const std::string& productName, unsigned long build) {
    const std::string ten = "Windows 10";
    const size_t at = productName.find(ten);
    if (build < 22000 || at == std::string::npos)
        return productName;
    return productName.substr(0, at) + "Windows 11" + productName.substr(at + ten.size());
}

std::string ComposeReport(const FieldReport& report) {
    std::string out;
    Line(&out, "TalvixOS Disk Writer field check, " + report.date);
    Section(&out, "Windows");
    Facts(&out, report.windows);
    Section(&out, "Programs (SHA-256, version)");
    Facts(&out, report.programs);
    Section(&out, "Device");
    Facts(&out, report.device);
    Section(&out, "Digests (SHA-256)");
    Facts(&out, report.digests);
    Section(&out, "Steps");
    for (const StepRecord& step : report.steps) {
        char time[32];
        snprintf(time, sizeof time, "%.1f s", step.seconds);
        Line(&out, step.name + ": " + (step.passed ? "done" : "failed") + " in " + time +
                       (step.detail.empty() ? "" : ": " + step.detail));
    }
    Section(&out, "Boxes the wizard opened");
    Facts(&out, report.boxes);
    if (report.boxes.empty())
        Line(&out, "(none)");
    Section(&out, "Notes");
    Facts(&out, report.notes);
    if (report.notes.empty())
        Line(&out, "(none)");
    if (!report.screenReader.empty()) {
        Section(&out, "Screen reader");
        Facts(&out, report.screenReader);
    }
    Section(&out, "Window answer time");
    Facts(&out, report.answerTimes);
    Section(&out, "Status lines");
    for (const Fact& run : report.statusLines)
        Block(&out, run.first, run.second);
    Section(&out, "Console trace");
    for (const Fact& run : report.consoleTrace)
        Block(&out, run.first, run.second);
    Section(&out, "Verdict");
    for (const StepRecord& step : report.steps)
        Line(&out, std::string(step.passed ? "PASS " : "FAIL ") + step.name);
    Line(&out, AllPassed(report) ? "All steps passed." : "Some steps failed: please send this report.");
    return HideUserNames(out, report.userNames, report.profileRoots);
}
