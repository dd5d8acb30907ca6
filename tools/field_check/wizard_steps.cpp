#include "wizard_steps.h"

#include <stdio.h>

#include "answer_watch.h"
#include "screen_reader.h"
#include "system_facts.h"
#include "wide_files.h"
#include "wizard_boxes.h"

namespace {

const unsigned kWriteMs = 600000;  // a diskette drive writes slowly
const DWORD kBoxCloseMs = 5000;    // an answered box is gone by then

// A box the wizard has open, closed the safe way; " (the wizard showed:
// ...)" for a failure's text, or "" when none is open.
std::string CloseAnyBox(WizardRun* run, FieldReport* report) {
    HWND box = nullptr;
    BoxSeen seen;
    if (!run->main || !FindBox(run->process.dwProcessId, run->main, &box, &seen))
        return "";
    AnswerBox(box, false);
    report->boxes.push_back({seen.text, "not expected here: failed the check, closed with No or Cancel"});
    return " (the wizard showed: " + seen.text + ")";
}

// A write (or Put back) has ended: the Reboot pane, a full bar, or the
// writer's end after a failure.
bool WriterEnded(WizardRun* run, bool putBack) {
    if (ConsoleTrace(*run).find("End of thread.") != std::string::npos)
        return true;
    if (!putBack)
        return Ask(run, CmdShown, {"shown"}) == "reboot\n";
    unsigned position = 0, low = 0, high = 0;
    return sscanf(Ask(run, CmdProgress, {"progress", "install", "1017"}).c_str(), "%u\t%u\t%u", &position, &low,
                  &high) == 3 &&
           high > 0 && position == high;
}

// Answers the box the wizard has open, if any: Yes to the question about the
// medium written in this run, anything else fails the step with its text.
// True when the wait is over (*failure says why).
bool AnswerBoxes(const WizardTask& task, WizardRun* run, bool putBack, HWND* answered, DWORD* answeredAt,
                 std::string* failure) {
    HWND box = nullptr;
    BoxSeen seen;
    if (!FindBox(run->process.dwProcessId, run->main, &box, &seen))
        return false;
    if (box == *answered) {
        if (GetTickCount() - *answeredAt < kBoxCloseMs)
            return false;
        *failure = "the box did not close when answered: " + seen.text;
        return true;
    }
    const BoxContext context = {putBack, task.letter, task.holdsWritten, task.fixedStick, task.known};
    const bool yes = MayAnswerYes(seen, context);
    if (!AnswerBox(box, yes)) {
        *failure = "the box could not be answered: " + seen.text;
        return true;
    }
    task.report->boxes.push_back(
        {seen.text, !yes     ? "not expected: failed the check, closed with No or Cancel"
                    : putBack ? "answered Yes: the drive holds the medium written in this run"
                              : "answered Yes: the tester typed YES for this disk, which calls itself fixed"});
    printf("  The wizard asked: %s\n  %s\n", seen.text.c_str(), yes ? "Answered Yes." : "Not expected: closed.");
    if (!yes) {
        *failure = "the wizard showed: " + seen.text;
        return true;
    }
    *answered = box;
    *answeredAt = GetTickCount();
    return false;
}

}  // namespace

void EndRun(FieldReport* report, WizardRun* run, const char* name) {
    WatchWindow(nullptr);
    // A box left open at the end is as unexpected as one opened earlier.
    const std::string box = CloseAnyBox(run, report);
    if (!box.empty()) {
        report->steps.push_back({std::string(name) + ": no box left open at the end", false, 0, box});
        printf("FAIL %s: no box left open at the end:%s\n", name, box.c_str());
    }
    // The program keeps its status lines in UTF-8, as the report is written.
    std::string status = run->main ? Ask(run, CmdStatus, {"status"}) : "";
    std::string title = name;
    if (!CloseWizard(run))
        title += " (" + run->failure + ")";
    else if (run->exitCode != 0)
        title += " (the program ended with exit code " + std::to_string(run->exitCode) + ")";
    report->statusLines.push_back({title, status});
    report->consoleTrace.push_back({name, ConsoleTrace(*run)});
    if (!run->consolePath.empty())
        DeleteFileW(Wide(run->consolePath).c_str());
}

std::string DriveWizard(const WizardTask& task, bool putBack, WizardRun* run, const char* name) {
    const int button = putBack ? 114 : 111;
    const std::string buttonText = std::to_string(button);
    if (!StartWizard(*task.program, run))
        return run->failure;
    if (!*task.scaleKnown) {
        task.report->windows.push_back({"Display scale of the wizard's monitor", WindowScale(run->main)});
        *task.scaleKnown = true;
    }
    // Ends the focus watch on every way out of the run.
    struct FocusWatch {
        bool on;
        FieldReport* report;
        ~FocusWatch() {
            if (on)
                StopFocusWatch(report);
        }
    } focusWatch = {!putBack && StartFocusWatch(run->process.dwProcessId), task.report};
    WatchPhase("the wizard started and loaded its image");
    WatchWindow(run->main);
    // The image is loaded once Next is enabled on Welcome.
    if (!WaitForAnswer(run, 60000, CmdEnabled, {"enabled", "welcome", "102"}, "1"))
        return run->failure + CloseAnyBox(run, task.report);
    WatchPhase("the drive was chosen and checked");
    if (!ChooseDrive(run, task.letter) ||
        (putBack && !WaitForAnswer(run, 60000, CmdVisible, {"visible", "install", buttonText.c_str()}, "1")) ||
        !WaitForAnswer(run, 60000, CmdEnabled, {"enabled", "install", buttonText.c_str()}, "1"))
        return run->failure + CloseAnyBox(run, task.report);
    WatchPhase(putBack ? "the drive was put back" : "the image was written");
    // Taken: a box opened, the button greyed, or the press's trace line.
    const char* pressLine = putBack ? "Putting back..." : "Fly :)";
    HWND pressed = GetDlgItem(FindPane(run->main, "install"), button);
    auto taken = [&] {
        HWND box = nullptr;
        BoxSeen seen;
        return FindBox(run->process.dwProcessId, run->main, &box, &seen) || !IsWindowEnabled(pressed) ||
               CountLines(ConsoleTrace(*run), pressLine) > 0;
    };
    bool again = false;
    const bool wasTaken = Press(run, "install", button, taken, &again);
    if (again)
        task.report->notes.push_back(
            {name, std::string(putBack ? "Put back" : "Start") + " was pressed again: the first press was not taken "
                                                                  "within 3 s"});
    if (!wasTaken)
        return run->failure;
    std::string boxFailure;
    HWND answered = nullptr;
    DWORD answeredAt = 0;
    auto ended = [&] {
        return AnswerBoxes(task, run, putBack, &answered, &answeredAt, &boxFailure) || WriterEnded(run, putBack);
    };
    const bool writerEnded = WaitUntil(run, kWriteMs, ended, "end of the write");
    if (!putBack && writerEnded && boxFailure.empty()) {
        WatchPhase("the screen reader's names were read");
        *task.screenReader =
            ReadScreenReaderNames(run->main, [run] { return Ask(run, CmdStatus, {"status"}); }, task.report);
        WatchPhase("an arrow was pressed in the status list");
        Ask(run, CmdSelect, {"select", "2"});
        const std::string arrow = HearArrowMove(run->main, task.report);
        if (!arrow.empty())
            *task.screenReader += (task.screenReader->empty() ? "" : "; ") + arrow;
        focusWatch.on = false;
        const std::string focus = StopFocusWatch(task.report);
        if (!focus.empty())
            *task.screenReader += (task.screenReader->empty() ? "" : "; ") + focus;
    }
    if (!writerEnded)
        return run->failure + CloseAnyBox(run, task.report);
    if (!boxFailure.empty())
        return boxFailure;
    WatchPhase("the status lines were read");
    if (ConsoleTrace(*run).find("End of thread.") != std::string::npos)
        return "the wizard reported a failure (see its status lines)";
    return "";
}

