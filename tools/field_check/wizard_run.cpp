#include "wizard_run.h"

#include <stdio.h>
#include <string.h>

#include <atomic>
#include <vector>

#include "wide_files.h"
#include "wizard_boxes.h"

namespace {

std::atomic<bool> g_stop{false};

const unsigned kStartMs = 60000;
const unsigned kPaneMs = 60000;  // the drive list asks every drive; a slow one takes a while

bool Ended(const WizardRun& run) {
    return WaitForSingleObject(run.process.hProcess, 0) == WAIT_OBJECT_0;
}

const unsigned kTakenMs = 3000;  // a click the window took shows within this

// The main window of this very process, once it shows: another wizard open
// beside it, whatever its name, is not the one started.
HWND ShownMainOf(DWORD pid) {
    return FindDialogOf(pid, nullptr, kPaneList);
}

// A file for the console trace in the temporary folder, which the program
// inherits as its standard output and error.
HANDLE CreateConsoleFile(std::string* path) {
    wchar_t folder[MAX_PATH], name[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"tdw", 0, name))
        return INVALID_HANDLE_VALUE;
    *path = Utf8(name);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

}  // namespace

void RequestStop() {
    g_stop = true;
}

bool StopRequested() {
    return g_stop;
}

bool StartWizard(const std::string& program, WizardRun* run) {
    run->process = PROCESS_INFORMATION{};
    run->main = nullptr;
    run->exitCode = 0;
    run->console = CreateConsoleFile(&run->consolePath);
    if (run->console == INVALID_HANDLE_VALUE) {
        run->console = nullptr;
        run->failure = "no file for the program's console trace (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = run->console;
    std::wstring commandLine = Wide("\"" + program + "\"");
    const std::wstring folder = Wide(program.substr(0, program.find_last_of('\\')));
    // A console of its own, never shown: Ctrl+C and the close of the check's
    // console are the check's to handle, and the wizard is closed as a user does.
    if (!CreateProcessW(Wide(program).c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        folder.c_str(),
                        &startup, &run->process)) {
        run->failure = "cannot start " + program + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    const DWORD pid = run->process.dwProcessId;
    return WaitUntil(run, kStartMs, [run, pid] { return (run->main = ShownMainOf(pid)) != nullptr; },
                     "the main window");
}

bool RunVerb(WizardRun* run, int (*command)(Context&), std::initializer_list<const char*> words,
             std::string* answer) {
    std::vector<std::string> texts(1, "field-check");
    texts.insert(texts.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(&text[0]);
    argv.push_back(nullptr);
    Context context = {run->main, (int)texts.size(), argv.data()};
    std::string printed, failed;
    CaptureOutput(&printed, &failed);
    const int code = command(context);
    CaptureOutput(nullptr, nullptr);
    if (answer)
        *answer = printed;
    if (code != kOk)
        run->failure = texts[1] + ": " + failed;
    return code == kOk;
}

std::string Ask(WizardRun* run, int (*command)(Context&), std::initializer_list<const char*> words) {
    std::string answer;
    return RunVerb(run, command, words, &answer) ? answer : std::string();
}

bool WaitUntil(WizardRun* run, unsigned limitMs, const std::function<bool()>& done, const char* what) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (g_stop) {
            run->failure = std::string("stopped (Ctrl+C or the console closed) before ") + what;
            return false;
        }
        if (Ended(*run)) {
            run->failure = std::string("the program ended before ") + what;
            return false;
        }
        if (GetTickCount() - start >= limitMs) {
            run->failure = std::string("no ") + what + " within " + std::to_string(limitMs / 1000) + " s";
            return false;
        }
        Sleep(kPollMs);
    }
}

bool WaitForAnswer(WizardRun* run, unsigned limitMs, int (*command)(Context&),
                   std::initializer_list<const char*> words, const char* want) {
    const std::string line = std::string(want) + "\n";
    std::string what = "'" + std::string(want) + "' from";
    for (const char* word : words)
        what += std::string(" ") + word;
    return WaitUntil(run, limitMs, [&] { return Ask(run, command, words) == line; }, what.c_str());
}

std::string ConsoleTrace(const WizardRun& run) {
    std::string trace;
    HANDLE file = CreateFileW(Wide(run.consolePath).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return trace;
    char block[65536];
    DWORD read = 0;
    // A trace is a few kilobytes; a runaway one is cut at 4 MB.
    while (trace.size() < (4u << 20) && ReadFile(file, block, sizeof block, &read, nullptr) && read > 0)
        trace.append(block, read);
    CloseHandle(file);
    return trace;
}

bool Press(WizardRun* run, const char* pane, int id, const std::function<bool()>& taken, bool* again) {
    *again = false;
    const std::string idText = std::to_string(id);
    Context context = {run->main, 0, nullptr};
    int code = 0;
    char paneName[16], idName[16];
    snprintf(paneName, sizeof paneName, "%s", pane);
    snprintf(idName, sizeof idName, "%s", idText.c_str());
    char* words[] = {paneName, idName};
    context.argv = words;
    HWND button = FindControl(context, 0, &code);
    std::string what = "button " + idText + " on pane '" + pane + "'";
    if (!button) {
        run->failure = what + " not found";
        return false;
    }
    for (int press = 0; press < 2; ++press) {
        std::string failed;
        CaptureOutput(nullptr, &failed);
        const bool ready = WaitControlReady(button, what.c_str());
        CaptureOutput(nullptr, nullptr);
        if (!ready) {
            run->failure = failed;
            return false;
        }
        // BM_CLICK may not be taken while the dialog is not the active
        // window; the pane hears a click as this command. Posted: what the
        // click starts (a question's box) must not hold the check.
        if (!PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button)) {
            run->failure = what + ": the click could not be posted (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        if (WaitUntil(run, kTakenMs, taken, "the click taken"))
            return true;
        if (g_stop || Ended(*run))
            return false;
        *again = true;
    }
    run->failure = what + " was pressed twice; neither press was taken within 3 s";
    return false;
}

size_t CountLines(const std::string& trace, const char* line) {
    size_t count = 0;
    for (size_t at = trace.find(line); at != std::string::npos; at = trace.find(line, at + 1))
        ++count;
    return count;
}

bool ChooseDrive(WizardRun* run, char letter) {
    const std::string root = std::string(1, letter) + ":\\\t";
    int row = -1;
    auto listed = [&] {
        std::string rows = Ask(run, CmdRows, {"rows"});
        for (size_t at = 0, index = 0; at < rows.size(); ++index) {
            size_t end = rows.find('\n', at);
            if (rows.compare(at, root.size(), root) == 0) {
                row = (int)index;
                return true;
            }
            at = end == std::string::npos ? rows.size() : end + 1;
        }
        return false;
    };
    if (!RunVerb(run, CmdSelect, {"select", "1"}) || !WaitForAnswer(run, kPaneMs, CmdShown, {"shown"}, "target") ||
        !WaitUntil(run, kPaneMs, listed, "drive in the target list"))
        return false;
    const std::string index = std::to_string(row);
    return RunVerb(run, CmdPick, {"pick", "target", "1012", index.c_str()}) &&
           RunVerb(run, CmdSelect, {"select", "2"}) && WaitForAnswer(run, kPaneMs, CmdShown, {"shown"}, "install");
}

bool CloseWizard(WizardRun* run) {
    bool ended = true;
    if (run->process.hProcess) {
        if (run->main)
            PostMessageA(run->main, WM_CLOSE, 0, 0);
        // Closing during a write waits for the write to end.
        ended = WaitForSingleObject(run->process.hProcess, 120000) == WAIT_OBJECT_0;
        if (!ended)
            run->failure = "the program did not end after its window was closed";
        else if (!GetExitCodeProcess(run->process.hProcess, &run->exitCode))
            run->exitCode = STILL_ACTIVE;
        CloseHandle(run->process.hProcess);
        CloseHandle(run->process.hThread);
        run->process = PROCESS_INFORMATION{};
    }
    if (run->console)
        CloseHandle(run->console);
    run->console = nullptr;
    run->main = nullptr;
    return ended;
}
