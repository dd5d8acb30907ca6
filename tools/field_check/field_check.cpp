// field-check: proves the wizard on this PC and this stick. It reads the
// drive's first 1,474,560 bytes, has the wizard write the image (driven as a
// user would, its questions answered), finds the disk again on whatever
// letter it comes back, reads it back, has the wizard put the drive back,
// and compares it with what it read first; every step is timed and the
// window's answer time watched. It writes a report to send, and ends with
// the report's path. It writes to the drive itself only to leave it as it
// was when a step failed, Ctrl+C was pressed or the console closed.
//   field-check [--drive E:] [--program PATH] [--yes]
#include <windows.h>
#include <shellapi.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "answer_watch.h"
#include "attached_image.h"
#include "drive_facts.h"
#include "field_verdict.h"
#include "field_report.h"
#include "known_questions.h"
#include "program_choice.h"
#include "remote_window.h"
#include "write/write_loop.h"
#include "source/sha256.h"
#include "system_facts.h"
#include "wizard_run.h"
#include "wide_files.h"
#include "wizard_steps.h"

namespace {

const double kSlowMs = 50;           // slower answers are listed in the report
const unsigned kDriveBackMs = 60000;

struct Options {
    char letter = 0;
    bool yes = false;
    std::string program;
};

// What the check knows as it goes.
struct Check {
    const Options* options;
    FieldReport* report;
    std::string program;
    TargetIdentity drive;  // the drive as last found; its letter may change
    bool found;            // the drive was found after the last wizard run
    bool holdsWritten;     // it was read back holding the image written in this run
    bool scaleKnown;
    bool fixedStick;  // the tester typed YES for this disk, which calls itself fixed
    uint8_t *image, *first, *now;
};

// Set once the report is written: the console's close waits for it.
HANDLE g_finished = nullptr;

// The report as far as the check got, written again after every step:
// Windows ends a console program about five seconds after its window is
// closed, whatever it is waiting for, and the report must be there then.
FieldReport* g_report = nullptr;
std::string g_stamp, g_reportPath;

std::string WriteReport(const FieldReport& report, const std::string& stamp, const std::string& preferred);

void SaveSoFar() {
    if (!g_report)
        return;
    FieldReport soFar = *g_report;
    soFar.steps.push_back({"Check run to its end", false, 0,
                           "the check ended here: its console window was closed, or the session ended"});
    g_reportPath = WriteReport(soFar, g_stamp, g_reportPath);
}

double Seconds() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

std::string Digest(const uint8_t* bytes) {
    Sha256Digest digest;
    if (!Sha256Of(bytes, kWriteImageSize, &digest))
        return "not computed";
    char hex[kSha256HexSize];
    FormatSha256(digest, hex);
    return hex;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

// One step's outcome, on the console at once and in the report.
bool Record(FieldReport* report, const char* name, double started, const std::string& failure,
            const std::string& found = "") {
    const bool passed = failure.empty();
    report->steps.push_back({name, passed, Seconds() - started, passed ? found : failure});
    printf("%s %s (%.1f s)%s%s\n", passed ? "PASS" : "FAIL", name, Seconds() - started,
           passed ? (found.empty() ? "" : ": ") : ": ", (passed ? found : failure).c_str());
    SaveSoFar();
    return passed;
}

// "" when the two images are equal; else where they differ.
std::string Compare(const uint8_t* got, const uint8_t* want, const char* what) {
    const std::string where = WhereImagesDiffer(got, want, kWriteImageSize);
    return where.empty() ? "" : where + " (compared with " + what + ")";
}

struct WizardSearch {
    const std::string* program;
    bool found;
};

BOOL CALLBACK FindOpenWizard(HWND window, LPARAM param) {
    WizardSearch* search = (WizardSearch*)param;
    char name[16] = "";
    DWORD pid = 0;
    if (!GetDlgItem(window, kPaneList) || !GetClassNameA(window, name, sizeof name) || strcmp(name, "#32770") != 0 ||
        !GetWindowThreadProcessId(window, &pid))
        return TRUE;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    wchar_t path[MAX_PATH] = L"";
    DWORD size = MAX_PATH;
    const bool named = process && QueryFullProcessImageNameW(process, 0, path, &size);
    if (process)
        CloseHandle(process);
    char utf8[4 * MAX_PATH] = "";
    if (named && WideCharToMultiByte(CP_UTF8, 0, path, (int)size, utf8, sizeof utf8 - 1, nullptr, nullptr) > 0 &&
        IsWizardProgram(utf8, *search->program))
        search->found = true;
    return !search->found;
}

// Whether a wizard window is open already: a dialog with the pane list of
// the program checked or of the program under its own names.
bool WizardOpen(const std::string& program) {
    WizardSearch search = {&program, false};
    EnumWindows(FindOpenWizard, (LPARAM)&search);
    return search.found;
}

const char* BusName(uint32_t bus) {
    switch (bus) {
        case 7:
            return "USB";
        case 0xC:
            return "SD";
        case 0xD:
            return "MMC";
        case 0xB:
            return "SATA";
        case 3:
            return "ATA";
        default:
            return "other";
    }
}

std::vector<Fact> DeviceFacts(const DriveFacts& facts) {
    const TargetIdentity& id = facts.identity;
    const DiskDescriptor& device = id.device;
    auto known = [](uint64_t value, const char* unit) {
        return value ? std::to_string(value) + unit : std::string("not given");
    };
    return {{"Drive", std::string(1, id.letter) + ":" + (facts.fixedStick ? " (fixed disk)" : "")},
            {"Vendor", device.answered ? device.vendor : "not given"},
            {"Product", device.answered ? device.product : "not given"},
            {"Bus", device.answered ? std::string(BusName(device.busType)) + " (" + std::to_string(device.busType) + ")"
                                    : "not given"},
            {"Removable media", device.answered ? (device.removableMedia ? "yes" : "no") : "not given"},
            {"Serial", device.answered && device.serial[0] ? device.serial : "not given"},
            {"Length", known(facts.length, " bytes")},
            {"Sector size", known(facts.sectorSize, " bytes")},
            {"Read and written through", id.target.path.text},
            {"Drive letters on the disk", id.lettersOnDisk}};
}

// "8.0 GB", "1.4 MB": a drive's size as the tester knows it.
std::string SizeText(uint64_t bytes) {
    char text[32];
    if (bytes >= (1ull << 30))
        snprintf(text, sizeof text, "%.1f GB", double(bytes) / double(1ull << 30));
    else
        snprintf(text, sizeof text, "%.1f MB", double(bytes) / double(1u << 20));
    return bytes ? text : "size not given";
}

// "E:  \"STICK\", 8.0 GB, USB, removable": a drive the program would
// write, as the tester picks it.
std::string DriveLine(char letter, const DriveFacts& facts) {
    const wchar_t root[] = {(wchar_t)letter, L':', L'\\', 0};
    wchar_t label[MAX_PATH + 1] = L"";
    GetVolumeInformationW(root, label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0);
    const DiskDescriptor& device = facts.identity.device;
    return std::string(1, letter) + ":  " + (label[0] ? "\"" + Utf8(label) + "\"" : "no label") + ", " +
           SizeText(facts.length) + ", " + (device.answered ? BusName(device.busType) : "bus not given") + ", " +
           (facts.fixedStick ? "calls itself fixed" : "removable");
}

// The drives the program would write, one line each by letter.
std::vector<std::pair<char, std::string>> DrivesToOffer() {
    std::vector<std::pair<char, std::string>> drives;
    const DWORD present = GetLogicalDrives();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        DriveFacts facts;
        if ((present >> (letter - 'A') & 1) && AskDrive(letter, &facts).empty())
            drives.push_back({letter, DriveLine(letter, facts)});
    }
    return drives;
}

bool Question(const char* question, std::string* answer) {
    printf("%s", question);
    fflush(stdout);
    char line[64];
    if (!fgets(line, sizeof line, stdin))
        return false;
    *answer = Trimmed(line);
    return true;
}

// The check's own path; "" when it is not known.
std::string OwnPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? Utf8(path, (int)length) : "";
}

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        if (strcmp(word, "--yes") == 0) {
            options->yes = true;
        } else if (strcmp(word, "--drive") == 0 && i + 1 < argc && IsDriveLetter(argv[i + 1])) {
            options->letter = (char)toupper((unsigned char)argv[++i][0]);
        } else if (strcmp(word, "--program") == 0 && i + 1 < argc && argv[i + 1][0]) {
            options->program = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

// The program to check: the one named, made a full path, or the one beside
// the check that carries an image; "" with `refusal` when there is none.
std::string ProgramToCheck(const Options& options, std::string* refusal) {
    wchar_t path[MAX_PATH];
    if (!options.program.empty()) {
        const DWORD length = GetFullPathNameW(Wide(options.program).c_str(), MAX_PATH, path, nullptr);
        return length > 0 && length < MAX_PATH ? Utf8(path, (int)length) : options.program;
    }
    const std::string self = OwnPath();
    if (self.empty()) {
        *refusal = "the check's own folder is not known: name the program with --program PATH";
        return "";
    }
    const std::string folder = self.substr(0, self.find_last_of('\\') + 1);
    const std::vector<ProgramSeen> beside = ProgramsBeside(folder, self);
    const int chosen = ChooseProgram(beside, sizeof(void*) == 4, refusal);
    return chosen < 0 ? "" : folder + beside[chosen].name;
}

// Waits for the disk after the USB restart, on any letter, and reads it; ""
// when it holds `want`.
std::string ReadAndCompare(Check* check, const uint8_t* want, const char* what, std::string* digest) {
    TargetIdentity now;
    std::string failure = WaitForDriveBack(check->drive, kDriveBackMs, StopRequested, &now);
    check->found = failure.empty();
    if (failure.empty()) {
        if (now.letter != check->drive.letter)
            check->report->notes.push_back({"Drive letter", std::string("the disk came back as ") + now.letter +
                                                                ": (it was " + check->drive.letter + ":)"});
        check->drive = now;
        failure = ReadDriveStart(now, check->now);
    }
    if (!failure.empty())
        return failure;
    *digest = Digest(check->now);
    return Compare(check->now, want, what);
}

// After a failure: what the drive holds, and when that is not what it held
// before, its first bytes written back (once the tester agrees) and compared.
void LeaveDriveAsItWas(Check* check) {
    FieldReport* report = check->report;
    TargetIdentity now;
    std::string failure = WaitForDriveBack(check->drive, check->found ? 0 : kDriveBackMs, nullptr, &now);
    const bool found = failure.empty();
    if (found) {
        check->drive = now;
        failure = ReadDriveStart(now, check->now);
    }
    const DriveHolds holds = failure.empty() ? WhatDriveHolds(check->now, check->image, check->first, kWriteImageSize)
                                             : DriveHolds::Unread;
    const std::string where = failure.empty() ? std::string(" (drive ") + now.letter + ":)" : ": " + failure;
    report->notes.push_back({"What the drive holds now", DriveHoldsText(holds) + where});
    printf("The drive now holds %s%s.\n", DriveHoldsText(holds), where.c_str());
    // Written back only to the very disk read at the start.
    if (holds == DriveHolds::Before || !found)
        return;
    std::string answer;
    if (!check->options->yes && !StopRequested() &&
        (!Question("Type YES to write back the drive's first bytes as they were before the check: ", &answer) ||
         answer != "YES")) {
        report->notes.push_back({"Drive put back by field-check", "not done: the tester did not type YES"});
        return;
    }
    const double started = Seconds();
    std::string digest = "not read";
    failure = PutBackStart(now, check->first, check->now);
    if (failure.empty())
        failure = ReadAndCompare(check, check->first, "its first bytes", &digest);
    report->digests.push_back({"Drive after field-check put it back", digest});
    Record(report, "Drive put back by field-check and equal to its first bytes", started, failure);
}

// The whole check; the report gets every step.
void RunCheck(Check* check) {
    FieldReport* report = check->report;
    double started = Seconds();
    if (!Record(report, "Image attached to the program", started, ReadAttachedImage(check->program, check->image),
                check->program))
        return;
    report->digests.push_back({"Image attached to the program", Digest(check->image)});
    started = Seconds();
    if (!Record(report, "Drive's first bytes read", started, ReadDriveStart(check->drive, check->first)))
        return;
    report->digests.push_back({"Drive before the write", Digest(check->first)});
    started = Seconds();
    std::string failure;
    const std::vector<KnownQuestion> known = KnownQuestions(check->program, &failure);
    if (!Record(report, "Questions to answer Yes read from the program's catalogue", started, failure,
                std::to_string(known.size()) + " texts"))
        return;

    StartAnswerWatch();
    WizardRun run = {};
    started = Seconds();
    std::string screenReader = "not read: the write did not end as it should";
    WizardTask task = {&check->program, check->drive.letter, false, check->fixedStick, &known, report,
                       &check->scaleKnown, &screenReader};
    Record(report, "Image written with the wizard", started, DriveWizard(task, false, &run, "Write"));
    Record(report, "Screen readers told the names and the outcome", Seconds(), screenReader);
    EndRun(report, &run, "Write");
    std::string digest = "not read";
    if (!StopRequested()) {
        started = Seconds();
        check->holdsWritten = Record(report, "Disk back, drive read back and equal to the image", started,
                                     ReadAndCompare(check, check->image, "the image", &digest));
        report->digests.push_back({"Drive after the write", digest});
    }
    if (!StopRequested() && check->found) {
        started = Seconds();
        task.letter = check->drive.letter;
        task.holdsWritten = check->holdsWritten;
        Record(report, "Put back with the wizard", started, DriveWizard(task, true, &run, "Put back"));
        EndRun(report, &run, "Put back");
    }
    if (!StopRequested() && check->found) {
        started = Seconds();
        digest = "not read";
        Record(report, "Disk back, drive equal to its first bytes", started,
               ReadAndCompare(check, check->first, "its first bytes", &digest));
        report->digests.push_back({"Drive after Put back", digest});
    }

    const AnswerTimes times = StopAnswerWatch(kSlowMs);
    char line[200], detail[120];
    snprintf(line, sizeof line, "%zu samples, worst %.2f ms, median %.2f ms, %zu over %.0f ms, %zu without an answer within 2 s",
             times.samples, times.worstMs, times.medianMs, times.over, kSlowMs, times.hangs);
    snprintf(detail, sizeof detail, "its worst %.2f ms; the wizard's worst beyond its answers around it: %.2f ms",
             times.desktopWorstMs, times.worstBeyondMs);
    // A busy PC slows every window; the desktop's answers show how busy.
    report->answerTimes = {{"WM_NULL every 5 ms", line}, {"The desktop window, asked the same way", detail}};
    for (const auto& late : times.slow) {
        char when[160];
        snprintf(when, sizeof when, "%.2f ms while %s", late.first, late.second);
        report->answerTimes.push_back({"Slow answer", when});
    }
    if (StopRequested())
        Record(report, "Check run to its end", Seconds(), "stopped by Ctrl+C or the console's close");
    else
        Record(report, "Window never hung (answered within 2 s all along)", Seconds(), AnswerFailure(times), line);
    if (!AllPassed(*report))
        LeaveDriveAsItWas(check);
    else
        report->notes.push_back({"What the drive holds now", DriveHoldsText(DriveHolds::Before)});
}

// The report at `preferred` (where it was written before), else in the
// current folder, or in the temporary one when that cannot be written; ""
// when none can.
std::string WriteReport(const FieldReport& report, const std::string& stamp, const std::string& preferred) {
    const std::string text = ComposeReport(report), name = "field-report-" + stamp + ".txt";
    wchar_t folders[2][MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folders[0]);
    GetTempPathW(MAX_PATH, folders[1]);
    const std::string paths[3] = {preferred, Utf8(folders[0]), Utf8(folders[1])};
    for (size_t i = 0; i < 3; ++i) {
        std::string path = paths[i];
        if (path.empty())
            continue;
        if (i > 0 && path.back() != '\\')
            path += '\\';
        if (i > 0)
            path += name;
        const std::wstring wide = Wide(path);
        HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        DWORD written = 0;
        bool ok = WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr) && written == text.size();
        ok = FlushFileBuffers(file) && ok;
        CloseHandle(file);
        wchar_t full[MAX_PATH];
        const DWORD length = GetFullPathNameW(wide.c_str(), MAX_PATH, full, nullptr);
        if (ok)
            return length > 0 && length < MAX_PATH ? Utf8(full, (int)length) : path;
    }
    return "";
}


// Ctrl+C and Ctrl+Break end every wait; the check then closes the wizard,
// leaves the drive as it was and writes its report. The console's close
// (and the session's end) ends the process once this returns: it returns
// when that work is done, or when Windows' time for it is up.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    RequestStop();
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && g_finished)
        WaitForSingleObject(g_finished, INFINITE);
    return TRUE;
}

// A console that only this process uses was opened for it ("Run as
// administrator"), and closes the moment it ends: the tester reads the
// outcome first, and the report's folder is opened.
void EndOwnConsole(bool own, const std::string& reportPath) {
    if (!own || StopRequested())
        return;
    if (!reportPath.empty()) {
        const std::wstring select = Wide("/select,\"" + reportPath + "\"");
        ShellExecuteW(nullptr, L"open", L"explorer.exe", select.c_str(), nullptr, SW_SHOWNORMAL);
    }
    printf("Press Enter to close this window.\n");
    char line[16];
    if (!fgets(line, sizeof line, stdin))
        return;
}

}  // namespace

int main() {
    setvbuf(stdout, nullptr, _IONBF, 0);
    // Paths and texts are UTF-8 throughout, on the console as in the report.
    SetConsoleOutputCP(CP_UTF8);
    int argc = 0;
    wchar_t** wideArgs = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 0; wideArgs && i < argc; ++i)
        args.push_back(Utf8(wideArgs[i]));
    if (wideArgs)
        LocalFree(wideArgs);
    argc = (int)args.size();
    std::vector<char*> argvList;
    for (std::string& arg : args)
        argvList.push_back(&arg[0]);
    argvList.push_back(nullptr);
    char** argv = argvList.data();
    // The manifest makes the check aware of each monitor's scale, as the
    // wizard is: the status verb reads the icons drawn in its pixels.
    DWORD processes[2];
    const bool ownConsole = GetConsoleProcessList(processes, 2) == 1;
    g_finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        fprintf(stderr, "usage: field-check [--drive E:] [--program PATH] [--yes]\n");
        return 2;
    }
    printf("TalvixOS Disk Writer field check\n"
           "The stick's first 1,474,560 bytes are overwritten with the image, then put back as they were.\n"
           "Press Ctrl+C to stop; do not close this window.\n");
    const bool ask = !options.yes;
    std::string refusal;
    const std::string program = ProgramToCheck(options, &refusal);
    if (refusal.empty() && WizardOpen(program))
        refusal = "a TalvixOS Disk Writer window is already open: close it, then run field-check again";
    if (!refusal.empty()) {
        fprintf(stderr, "field-check: %s\n", refusal.c_str());
        EndOwnConsole(ownConsole && ask, "");
        return 2;
    }
    printf("The program checked: %s\n", program.c_str());
    std::string answer;
    if (!options.letter) {
        const auto drives = DrivesToOffer();
        printf(drives.empty() ? "No drive the program would write is attached: plug in a stick, card or diskette.\n"
                              : "Drives the program would write:\n");
        for (const auto& drive : drives)
            printf("  %s\n", drive.second.c_str());
        const bool listed = !drives.empty() && Question("Drive letter of the one to use: ", &answer) &&
                            IsDriveLetter(answer.c_str());
        const char letter = listed ? (char)toupper((unsigned char)answer[0]) : 0;
        for (const auto& drive : drives)
            if (drive.first == letter)
                options.letter = letter;
        if (!options.letter) {
            fprintf(stderr, "field-check: no drive of the list was chosen\n");
            EndOwnConsole(ownConsole && ask, "");
            return 2;
        }
    }

    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[32], stamp[32];
    snprintf(date, sizeof date, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    snprintf(stamp, sizeof stamp, "%04u-%02u-%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    FieldReport report;
    g_stamp = stamp;
    report.date = date;
    report.windows = WindowsFacts();
    report.userNames = UserNames();
    report.profileRoots = {ProfilesFolder()};
    const std::string self = OwnPath();
    report.programs.push_back(ProgramFact("The program checked", program));
    if (!self.empty())
        report.programs.push_back(ProgramFact("The check", self));

    DriveFacts facts;
    double started = Seconds();
    refusal = AskDrive(options.letter, &facts);
    // The wizard is started again after the write: from a drive that then
    // holds the image it could not be, and the drive would not be put back.
    if (refusal.empty() && program.size() > 2 && program[1] == ':' &&
        toupper((unsigned char)program[0]) == options.letter)
        refusal = "it holds the program itself (" + program + "): run field-check from another drive";
    if (refusal.empty())
        report.device = DeviceFacts(facts);
    else
        report.device = {{"Drive", std::string(1, options.letter) + ":"}};
    bool go = Record(&report, "Drive is one the program would write", started,
                     refusal.empty() ? "" : "refused: " + refusal);
    if (go && ask) {
        for (const Fact& fact : report.device)
            printf("  %s: %s\n", fact.first.c_str(), fact.second.c_str());
        const std::string question = "Type YES to overwrite the start of drive " + DriveLine(options.letter, facts) +
                                     ", and put it back: ";
        go = Question(question.c_str(), &answer) && answer == "YES";
        if (!go) {
            printf("Nothing was done.\n");
            EndOwnConsole(ownConsole, "");
            return 1;
        }
    }
    auto buffer = [] { return (uint8_t*)VirtualAlloc(nullptr, kWriteImageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE); };
    Check check = {&options, &report,     program,  facts.identity, true, false, false, facts.fixedStick,
                   buffer(),  buffer(), buffer()};
    if (go && (!check.image || !check.first || !check.now))
        Record(&report, "Memory for three images", Seconds(), "not available");
    else if (go) {
        g_report = &report;
        RunCheck(&check);
    }

    g_report = nullptr;
    const std::string path = WriteReport(report, stamp, g_reportPath);
    if (path.empty())
        fprintf(stderr, "field-check: the report could not be written\n");
    else
        printf("%s\nThe report to send:\n%s\n", AllPassed(report) ? "Every step passed." : "Some steps failed.",
               path.c_str());
    SetEvent(g_finished);
    EndOwnConsole(ownConsole && ask, path);
    return AllPassed(report) && !path.empty() ? 0 : 1;
}
