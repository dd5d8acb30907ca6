#include "wizard_run.h"

#include <stdio.h>
#include <string.h>

#include <vector>

namespace {

const unsigned kStartMs = 60000;
const unsigned kPaneMs = 60000;  // the drive list asks every drive; a slow one takes a while

bool Ended(const WizardRun& run) {
    return WaitForSingleObject(run.process.hProcess, 0) == WAIT_OBJECT_0;
}

// The main window of this very process, once it shows.
HWND ShownMainOf(DWORD pid) {
    HWND main = FindMain();
    DWORD owner = 0;
    if (main)
        GetWindowThreadProcessId(main, &owner);
    return main && owner == pid && IsWindowVisible(main) ? main : nullptr;
}

// A file for the console trace in the temporary folder, which the program
// inherits as its standard output and error.
HANDLE CreateConsoleFile(std::string* path) {
    char folder[MAX_PATH], name[MAX_PATH];
    if (!GetTempPathA(sizeof folder, folder) || !GetTempFileNameA(folder, "tdw", 0, name))
        return INVALID_HANDLE_VALUE;
    *path = name;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

}  // namespace

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
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = run->console;
    std::string commandLine = "\"" + program + "\"";
    std::string folder = program.substr(0, program.find_last_of('\\'));
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
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
    HANDLE file = CreateFileA(run.consolePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
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
