// field-check: proves the wizard on this PC and this stick. It reads the
// drive's first 1,474,560 bytes, has the wizard beside it write the image
// (driven as a user would), reads the drive back, has the wizard put the
// drive back, and compares it with what it read first; every step is timed
// and the window's answer time watched. It writes a report to send, and
// ends with the report's path. It writes nothing to the drive itself.
//   field-check [--drive E:] [--yes]
#include <windows.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "answer_watch.h"
#include "attached_image.h"
#include "drive_facts.h"
#include "field_report.h"
#include "write/write_loop.h"
#include "source/sha256.h"
#include "system_facts.h"
#include "wizard_run.h"

namespace {

const double kAnswerLimitMs = 50;
const unsigned kWriteMs = 600000;    // a diskette drive writes slowly
const unsigned kDriveBackMs = 60000;

struct Options {
    char letter = 0;
    bool yes = false;
};

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
    return passed;
}

// "" when the two images are equal; else where they first differ.
std::string Compare(const uint8_t* got, const uint8_t* want, const char* what) {
    for (uint32_t at = 0; at < kWriteImageSize; ++at)
        if (got[at] != want[at])
            return "the drive differs from " + std::string(what) + " from byte " + std::to_string(at) + " on";
    return "";
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

bool Question(const char* question, std::string* answer) {
    printf("%s", question);
    fflush(stdout);
    char line[64];
    if (!fgets(line, sizeof line, stdin))
        return false;
    *answer = Trimmed(line);
    return true;
}

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        if (strcmp(word, "--yes") == 0) {
            options->yes = true;
        } else if (strcmp(word, "--drive") == 0 && i + 1 < argc && IsDriveLetter(argv[i + 1])) {
            options->letter = (char)toupper((unsigned char)argv[++i][0]);
        } else {
            return false;
        }
    }
    return true;
}

std::string ProgramBeside() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return "TalvixDiskWriter.exe";
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1) + "TalvixDiskWriter.exe";
}

// Keeps what a wizard run left for the report and closes it.
void EndRun(FieldReport* report, WizardRun* run, const char* name) {
    WatchWindow(nullptr);
    std::string status = run->main ? Ask(run, CmdStatus, {"status"}) : "";
    std::string title = name;
    if (!CloseWizard(run))
        title += " (" + run->failure + ")";
    else if (run->exitCode != 0)
        title += " (the program ended with exit code " + std::to_string(run->exitCode) + ")";
    report->statusLines.push_back({title, status});
    report->consoleTrace.push_back({name, ConsoleTrace(*run)});
    if (!run->consolePath.empty())
        DeleteFileA(run->consolePath.c_str());
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

// The wizard started, the drive chosen, `button` pressed on Install, and
// the writer's end waited for; "" when it ended where a success ends.
std::string DriveWizard(const std::string& program, char letter, bool putBack, WizardRun* run) {
    const char* button = putBack ? "114" : "111";
    if (!StartWizard(program, run))
        return run->failure;
    WatchPhase("the wizard started and loaded its image");
    WatchWindow(run->main);
    // The image is loaded once Next is enabled on Welcome.
    if (!WaitForAnswer(run, 60000, CmdEnabled, {"enabled", "welcome", "102"}, "1"))
        return run->failure;
    WatchPhase("the drive was chosen and checked");
    if (!ChooseDrive(run, letter) ||
        (putBack && !WaitForAnswer(run, 60000, CmdVisible, {"visible", "install", button}, "1")) ||
        !WaitForAnswer(run, 60000, CmdEnabled, {"enabled", "install", button}, "1"))
        return run->failure;
    WatchPhase(putBack ? "the drive was put back" : "the image was written");
    if (!RunVerb(run, CmdClick, {"click", "install", button}) ||
        !WaitUntil(run, kWriteMs, [&] { return WriterEnded(run, putBack); }, "end of the write"))
        return run->failure;
    WatchPhase("the status lines were read");
    if (ConsoleTrace(*run).find("End of thread.") != std::string::npos)
        return "the wizard reported a failure (see its status lines)";
    return "";
}

// Waits for the letter after the USB restart and reads the drive; "" when
// it holds `want`.
std::string ReadAndCompare(const TargetIdentity& chosen, uint8_t* bytes, const uint8_t* want, const char* what,
                           std::string* digest) {
    TargetIdentity now;
    std::string failure = WaitForDriveBack(chosen, kDriveBackMs, &now);
    if (failure.empty())
        failure = ReadDriveStart(now, bytes);
    if (!failure.empty())
        return failure;
    *digest = Digest(bytes);
    return Compare(bytes, want, what);
}

// The whole check; the report gets every step.
void RunCheck(const Options& options, const DriveFacts& facts, FieldReport* report) {
    const std::string program = ProgramBeside();
    const TargetIdentity& chosen = facts.identity;
    auto buffer = [] { return (uint8_t*)VirtualAlloc(nullptr, kWriteImageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE); };
    uint8_t *image = buffer(), *first = buffer(), *now = buffer();
    if (!image || !first || !now) {
        Record(report, "Memory for three images", Seconds(), "not available");
        return;
    }
    double started = Seconds();
    if (!Record(report, "Image attached to the program", started, ReadAttachedImage(program, image), program))
        return;
    report->digests.push_back({"Image attached to the program", Digest(image)});
    started = Seconds();
    if (!Record(report, "Drive's first bytes read", started, ReadDriveStart(chosen, first)))
        return;
    report->digests.push_back({"Drive before the write", Digest(first)});

    StartAnswerWatch();
    WizardRun run = {};
    started = Seconds();
    Record(report, "Image written with the wizard", started, DriveWizard(program, options.letter, false, &run));
    EndRun(report, &run, "Write");
    started = Seconds();
    std::string digest = "not read";
    Record(report, "Letter back, drive read back and equal to the image", started,
           ReadAndCompare(chosen, now, image, "the image", &digest));
    report->digests.push_back({"Drive after the write", digest});

    started = Seconds();
    Record(report, "Put back with the wizard", started, DriveWizard(program, options.letter, true, &run));
    EndRun(report, &run, "Put back");
    started = Seconds();
    digest = "not read";
    Record(report, "Letter back, drive equal to its first bytes", started,
           ReadAndCompare(chosen, now, first, "its first bytes", &digest));
    report->digests.push_back({"Drive after Put back", digest});

    const AnswerTimes times = StopAnswerWatch(kAnswerLimitMs);
    char line[200], detail[120];
    snprintf(line, sizeof line, "%zu samples, worst %.2f ms, median %.2f ms, %zu over %.0f ms", times.samples,
             times.worstMs, times.medianMs, times.over, kAnswerLimitMs);
    snprintf(detail, sizeof detail, "its worst %.2f ms; the wizard's worst beyond its answers around it: %.2f ms",
             times.desktopWorstMs, times.worstBeyondMs);
    // A busy PC slows every window; the desktop's answers show how busy.
    report->answerTimes = {{"WM_NULL every 5 ms", line}, {"The desktop window, asked the same way", detail}};
    for (const auto& late : times.slow) {
        char when[160];
        snprintf(when, sizeof when, "%.2f ms while %s", late.first, late.second);
        report->answerTimes.push_back({"Slow answer", when});
    }
    Record(report, "Window answered within 50 ms all along", Seconds(),
           times.samples > 0 && times.over == 0 ? "" : line, line);
}

// The report in the current folder, or in the temporary one when that
// cannot be written; "" when neither can.
std::string WriteReport(const FieldReport& report, const std::string& stamp) {
    const std::string text = ComposeReport(report), name = "field-report-" + stamp + ".txt";
    char folders[2][MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folders[0]);
    GetTempPathA(MAX_PATH, folders[1]);
    for (const char* folder : folders) {
        std::string path = std::string(folder);
        if (path.empty())
            continue;
        if (path.back() != '\\')
            path += '\\';
        path += name;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        DWORD written = 0;
        bool ok = WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr) && written == text.size();
        ok = FlushFileBuffers(file) && ok;
        CloseHandle(file);
        char full[MAX_PATH];
        if (ok)
            return GetFullPathNameA(path.c_str(), sizeof full, full, nullptr) ? full : path;
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    // Screen pixels as they are: the status verb reads the icons drawn.
    SetProcessDPIAware();
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        fprintf(stderr, "usage: field-check [--drive E:] [--yes]\n");
        return 2;
    }
    printf("TalvixOS Disk Writer field check\n"
           "The stick's first 1,474,560 bytes are overwritten with the image, then put back as they were.\n");
    std::string answer;
    if (!options.letter && (!Question("Drive letter of the stick to use: ", &answer) || !IsDriveLetter(answer.c_str()))) {
        fprintf(stderr, "field-check: no drive letter\n");
        return 2;
    }
    if (!options.letter)
        options.letter = (char)toupper((unsigned char)answer[0]);

    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[32], stamp[32];
    snprintf(date, sizeof date, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    snprintf(stamp, sizeof stamp, "%04u-%02u-%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    FieldReport report;
    report.date = date;
    report.windows = WindowsFacts();

    DriveFacts facts;
    double started = Seconds();
    std::string refusal = AskDrive(options.letter, &facts);
    // The wizard is started again after the write: from a drive that then
    // holds the image it could not be, and the drive would not be put back.
    const std::string program = ProgramBeside();
    if (refusal.empty() && program.size() > 2 && program[1] == ':' &&
        toupper((unsigned char)program[0]) == options.letter)
        refusal = "it holds the program itself (" + program + "): run field-check from another drive";
    if (refusal.empty())
        report.device = DeviceFacts(facts);
    else
        report.device = {{"Drive", std::string(1, options.letter) + ":"}};
    bool go = Record(&report, "Drive is one the program would write", started,
                     refusal.empty() ? "" : "refused: " + refusal);
    if (go && !options.yes) {
        for (const Fact& fact : report.device)
            printf("  %s: %s\n", fact.first.c_str(), fact.second.c_str());
        go = Question("Type YES to overwrite this drive's start and put it back: ", &answer) && answer == "YES";
        if (!go) {
            printf("Nothing was done.\n");
            return 1;
        }
    }
    if (go)
        RunCheck(options, facts, &report);

    const std::string path = WriteReport(report, stamp);
    if (path.empty()) {
        fprintf(stderr, "field-check: the report could not be written\n");
        return 1;
    }
    printf("%s\nThe report to send:\n%s\n", AllPassed(report) ? "Every step passed." : "Some steps failed.",
           path.c_str());
    return AllPassed(report) ? 0 : 1;
}
