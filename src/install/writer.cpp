#include "install/writer.h"

#include <process.h>

#include <commctrl.h>

#include <atomic>
#include <new>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "devices/usb_restart.h"
#include "devices/drive_list.h"
#include "devices/wow64.h"
#include "install/checks.h"
#include "install/keep_questions.h"
#include "install/external_source.h"
#include "install/failure_line.h"
#include "keep/drive_copies.h"
#include "status/status_focus.h"
#include "status/status_keys.h"
#include "status/status_list.h"
#include "install/chosen_target.h"
#include "write/raw_write.h"
#include "install/reboot_pane.h"
#include "write/storage_win32.h"
#include "write/write_loop.h"
#include "resource.h"
#include "shell/app_state.h"
#include "shell/panes.h"
#include "shell/taskbar.h"
#include "shell/ui_thread.h"
#include "source/file_names.h"
#include "source/image_digest.h"
#include "source/worker_end.h"
#include "text/console.h"

namespace {

// What a write needs of the UI thread's state, copied when Start is pressed,
// so the thread never reads texts that the UI thread may replace.
struct WriteJob {
    int32_t sourceMode;
    char externalPath[kPathBufferSize * 3];  // UTF-8: up to three bytes a unit
    DriveRoot destination;
    TargetIdentity chosen;  // the device behind the destination when it was chosen
    bool putBack;           // the drive's kept copy goes back, not the image
    char putBackName[kKeptNameCapacity];  // the copy the user chose for the medium in the drive
    void (*callback)(uint32_t position, uint32_t total);
    PassSet passes;  // the passes the bar is divided among; the writer's thread only
};

// A restarted stick takes a moment to show its volume again.
constexpr unsigned kReappearTries = 20;
constexpr unsigned kReappearPauseMs = 100;
constexpr unsigned kConsoleExitWaitMs = 30000;

std::atomic<HWND> g_progressBar{nullptr};
std::atomic<uint64_t> g_latestProgress{0};  // position << 32 | total
std::atomic<bool> g_progressPosted{false};
char g_savedDestination[100];  // the writer's own copy; one write at a time

// Loads the image the external file holds into `externalImage` (page-aligned,
// so any sector size up to 4 KiB suits it; a trimmed image is followed there
// by zeros to the image's end), judged again as the checks judged it.
// Returns false, with its Error line logged, when the file cannot serve.
bool LoadExternalImage(AppState* state, const char* path) {
    ConsolePrint("Loading %s...\n", path);
    if (path[0] == '\0') {
        LogProgressNumber(MessageKind::Error, IDS_CANT_LOAD_SOURCE, IDS_CANT_LOAD_SOURCE);
        return false;
    }
    LogProgressPath(MessageKind::Ok, IDS_READING_SOURCE, FileNamePart(path));

    if (state->externalImage != nullptr) {
        VirtualFree(state->externalImage, 0, MEM_RELEASE);
        state->externalImage = nullptr;
    }
    state->externalImage = LoadSourceAsChecked(path);
    ConsolePrint("External image loaded: %s\n", state->externalImage != nullptr ? "Yes" : "No");
    return state->externalImage != nullptr;
}

// The line that names `pass` as it begins, for a write or Put back.
unsigned PassLine(WritePass pass, bool putBack) {
    switch (pass) {
        case WritePass::Format:
            return IDS_PASS_FORMAT;
        case WritePass::Keep:
            return putBack ? IDS_PASS_PUT_BACK_CHECK : IDS_PASS_KEEP;
        case WritePass::Write:
            return putBack ? IDS_PASS_PUT_BACK_WRITE : IDS_PASS_WRITE;
        case WritePass::ReadBack:
            break;
    }
    return putBack ? IDS_PASS_PUT_BACK_READ : IDS_PASS_READ_BACK;
}

void PassBegins(void* context, WritePass pass) {
    auto* job = static_cast<WriteJob*>(context);
    // Formatting is known only once the drive is taken: the bar makes room for it.
    job->passes |= PassBit(pass);
    LogPassProgress(PassLine(pass, job->putBack), job->destination.Name().text);
}

bool AskFormatFor(void* context) {
    return AskToFormat(static_cast<const WriteJob*>(context)->destination.Name().text);
}

void ReportProgress(void* context, WritePass pass, uint32_t done, uint32_t size) {
    const auto* job = static_cast<const WriteJob*>(context);
    job->callback(PassPosition(job->passes, pass, done, size), PassRange(job->passes));
}

// True when `path` ("X:\...") lies on one of the drive `letters`.
bool PathIsOn(const char* path, const char* letters) {
    return path[0] != '\0' && path[1] == ':' &&
           strchr(letters, static_cast<char>(toupper(static_cast<unsigned char>(path[0])))) != nullptr;
}

// True when this program's own file lies on one of `letters`: taking its
// volume away would pull the program from under itself.
bool RunsFromOneOf(const char* letters) {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    return length > 0 && length < sizeof(path) && PathIsOn(path, letters);
}

// The process's current directory would hold the target's volume open.
void LeaveTargetDirectory(const char* letters) {
    char current[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryA(sizeof(current), current);
    if (length == 0 || length >= sizeof(current) || !PathIsOn(current, letters))
        return;
    char system[MAX_PATH] = {};
    const UINT systemLength = GetSystemDirectoryA(system, sizeof(system));
    if (systemLength > 0 && systemLength < sizeof(system) && SetCurrentDirectoryA(system))
        ConsolePrint("The current directory moved from %s to %s.\n", current, system);
}

// Writes `source` onto the destination and reads it back, then logs `done`
// (0: the caller does).
// Returns false, with its Error line logged, when the drive does not hold it.
bool WriteToDrive(WriteJob& job, const unsigned char* source, KeepBeforeWrite keep, TailSector tail,
                  unsigned done) {
    const char* root = job.destination.text;
    const DriveName drive = job.destination.Name();
    // The letter may have changed hands since it was chosen.
    const UINT type = GetDriveTypeA(root);
    if (type != DRIVE_REMOVABLE && !(type == DRIVE_FIXED && IsFixedStick(job.chosen))) {
        LogProgress(MessageKind::Error, IDS_NOT_REMOVABLE_NOW, drive.text);
        return false;
    }
    if (source == nullptr) {
        LogProgressNumber(MessageKind::Error, IDS_CANT_WRITE, IDS_CANT_WRITE);
        return false;
    }
    if (RunsFromOneOf(job.chosen.lettersOnDisk)) {
        ConsolePrint("This program runs from the disk of drive %c:.\n", root[0]);
        LogProgress(MessageKind::Error, IDS_DRIVE_IN_USE, drive.text);
        return false;
    }
    LeaveTargetDirectory(job.chosen.lettersOnDisk);
    auto* readBack =
        static_cast<uint8_t*>(VirtualAlloc(nullptr, kWriteImageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (readBack == nullptr) {
        ConsolePrint("No memory to read the image back.\n");
        LogProgressNumber(MessageKind::Error, IDS_CANT_WRITE, IDS_CANT_WRITE);
        return false;
    }
    const RawWriteRequest request = {&job.chosen,
                                     source,
                                     readBack,
                                     PassProgress{PassBegins, ReportProgress, &job},
                                     kRawLockTries,
                                     kRawLockPauseMs,
                                     keep,
                                     tail,
                                     FormatOffer{AskFormatFor, &job}};
    const RawWriteResult result = RunRawWrite(Win32StorageCalls(), request);
    VirtualFree(readBack, 0, MEM_RELEASE);
    if (result.outcome != RawWriteOutcome::Written) {
        if (result.error != 0)
            ConsolePrint("Writing to drive %c: ended with error %u.\n", root[0], result.error);
        const auto* kept = static_cast<const KeepRequest*>(keep.context);
        LogWriteFailure(result, drive.text, kept != nullptr && kept->putBack == nullptr && kept->kept);
        return false;
    }
    // Windows may read the old partitions from it once the drive comes back.
    if (result.backupGptLeft)
        LogProgress(MessageKind::Warning, IDS_GPT_NOT_CLEARED, drive.text);
    if (done != 0)
        LogProgressOutcome(MessageKind::Ok, done, drive.text);
    return true;
}

// After the restart the letter may lead elsewhere: the destination names the
// disk just written, or nothing.
void SetWrittenDestination(const WriteJob& job) {
    for (unsigned attempt = 0; attempt < kReappearTries; ++attempt) {
        if (attempt > 0)
            Sleep(kReappearPauseMs);
        const TargetIdentity now = IdentifyDrive(job.destination.text[0]);
        if (IsSameDisk(job.chosen, now)) {
            RecordWrittenTarget(now);
            SetDestination(g_savedDestination);
            return;
        }
    }
    RecordWrittenTarget(job.chosen);
    ConsolePrint("Drive %c: does not lead to the disk just written; no target is selected.\n", job.destination.text[0]);
    SetDestination(nullptr);
}

// What follows a write that the drive kept: the USB restart, then the full
// bar, whose end runs the checks again.
void FinishWrite(const WriteJob& job, const UsbRestartPlan& plan) {
    memcpy(g_savedDestination, job.destination.text, sizeof(job.destination.text));
    // The 32-bit program on 64-bit Windows says at once that it cannot.
    if (plan.found && !RunsUnderWow64())
        LogProgress(MessageKind::Ok, IDS_USB_RESTARTING, g_savedDestination);
    const UsbRestartOutcome restart = RestartUsbDevice(plan);
    switch (restart) {
        case UsbRestartOutcome::Restarted:
            LogProgress(MessageKind::Ok, IDS_USB_RESTARTED, nullptr);
            break;
        case UsbRestartOutcome::NothingToRestart:
        case UsbRestartOutcome::NotRestarted: {
            // Windows may still show the old contents until the drive comes back.
            const char drive[3] = {g_savedDestination[0], ':', '\0'};
            LogProgress(MessageKind::Warning, IDS_REPLUG_DRIVE, drive);
            break;
        }
        case UsbRestartOutcome::Failed: {
            // The image is on the drive and was read back: only the user's
            // replug is missing, which must not keep Start disabled.
            const char drive[3] = {plan.letter, ':', '\0'};
            LogProgress(MessageKind::Warning, IDS_USB_NOT_RESTARTED, drive);
            break;
        }
    }
    if (!job.putBack)
        NoteImageWritten(job.sourceMode == SourceExternal ? FileNamePart(job.externalPath) : GetImageName(),
                         g_savedDestination[0], restart == UsbRestartOutcome::Restarted);
    SetWrittenDestination(job);
    SetWriteActive(0);
    job.callback(kWriteImageSize, kWriteImageSize);
}

// One whole write; false when it failed (its lines are logged).
bool RunWrite(WriteJob& job) {
    AppState* state = g_appState;
    const unsigned char* source = nullptr;
    if (job.sourceMode == SourceExternal) {
        if (!LoadExternalImage(state, job.externalPath))
            return false;
        source = state->externalImage;
    } else {
        ConsolePrint("Internal image loaded: %s\n", state->internalImage != nullptr ? "Yes" : "No");
        source = state->internalImage;
    }
    LogProgress(MessageKind::Ok, IDS_WRITE_STARTED, nullptr);
    // Made before the first byte: once the disk is rewritten the letter may
    // lead elsewhere. Its console lines wait for the restart.
    const UsbRestartPlan plan = FindUsbDeviceToRestart(job.destination.text[0]);
    // Whatever the drive holds is read first: someone's data is kept, and
    // only the image its medium's copy says was last written is not.
    Sha256Digest attached;
    const bool attachedKnown = job.sourceMode != SourceExternal && AttachedImageDigest(&attached);
    KeepRequest keep = Win32KeepRequest(&job.chosen, source, attachedKnown ? attached.bytes : nullptr, nullptr);
    keep.ask = AskBeforeWrite;
    keep.fixedDisk = IsFixedStick(job.chosen);
    if (!WriteToDrive(job, source, KeepingFor(&keep), TailSector{}, IDS_READ_BACK_OK))
        return false;
    FinishWrite(job, plan);
    return true;
}

// The copy is gone: the last survey stops offering it before the checks
// run again.
LRESULT ForgetOffer(void* letter) {
    ForgetKeptOffer(char(reinterpret_cast<uintptr_t>(letter)));
    return 1;
}

void ForgetOfferOfDrive(char letter) {
    QueueOnUiThread(ForgetOffer, reinterpret_cast<void*>(uintptr_t(uint8_t(letter))));
}

// Put back: the drive's kept copy written through the same path, read back,
// and deleted once the drive holds it again.
bool RunPutBack(WriteJob& job) {
    const DriveName drive = job.destination.Name();
    LogProgress(MessageKind::Ok, IDS_PUT_BACK_STARTED, drive.text);
    PutBackCopy copy;
    switch (LoadPutBackCopy(job.chosen, job.putBackName, &copy)) {
        case PutBackLoad::Loaded:
            break;
        case PutBackLoad::Missing:
            // Nothing was written and nothing is wrong with the drive.
            LogProgress(MessageKind::Warning, IDS_PUT_BACK_MISSING, drive.text);
            ForgetOfferOfDrive(job.destination.text[0]);
            RunChecks();
            return false;
        case PutBackLoad::Damaged:
            LogProgress(MessageKind::Error, IDS_PUT_BACK_DAMAGED, drive.text);
            return false;
    }
    const UsbRestartPlan plan = FindUsbDeviceToRestart(job.destination.text[0]);
    const TailSector tail = {copy.header.tailOffset, copy.tail, copy.header.tailSize};
    KeepRequest check = Win32KeepRequest(&job.chosen, copy.kept, nullptr, &copy.header);
    check.ask = AskBeforeWrite;
    const bool written = WriteToDrive(job, copy.kept, KeepingFor(&check), tail, 0);
    if (written) {
        const bool deleted = RemovePutBackCopy(copy);
        LogProgressOutcome(MessageKind::Ok, deleted ? IDS_PUT_BACK_DONE : IDS_PUT_BACK_DONE_KEPT, drive.text);
        ForgetOfferOfDrive(job.destination.text[0]);
    }
    FreePutBackCopy(&copy);
    if (written)
        FinishWrite(job, plan);
    return written;
}

// Ctrl+C and Ctrl+Break during a write close the window once the write is
// over. Closing the console, End task or the session ending gives the
// program a few seconds, whatever it does: it holds on for as long as
// Windows lets it, and a write cut short is found again at the next start
// by the record the writer leaves until the read-back.
BOOL WINAPI OnConsoleControlDuringWrite(DWORD event) {
    if (!IsWriteActive())
        return FALSE;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        PostMessageA(GetMainWindow(), WM_CLOSE, 0, 0);
        return TRUE;
    }
    ConsolePrint("Waiting for the write to end before ending...\n");
    for (unsigned waited = 0; IsWriteActive() && waited < kConsoleExitWaitMs; waited += 10)
        Sleep(10);
    return FALSE;
}

// The UI thread's half of ProgressCallback: shows the latest report on the bar.
LRESULT ShowWriteProgress(void*) {
    // Cleared before the report is read: a report stored after this posts anew.
    g_progressPosted = false;
    const uint64_t latest = g_latestProgress;
    const HWND bar = g_progressBar;
    SendMessageA(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(latest & 0xFFFFFFFFu));
    SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(latest >> 32), 0);
    if (IsWriteActive())
        ShowTaskbarProgress(static_cast<uint32_t>(latest >> 32), static_cast<uint32_t>(latest));
    return 1;
}

// What the drive holds now decides what Put back offers: the list looks
// again. Started here, on the UI thread, once the write's end is shown: a
// rebuild's rows are sent, and a send would overtake the posted end.
void LookAtDrivesAgain() {
    StartDriveListRefresh(nullptr);
}

// Runs `work` on the UI thread after what is waiting there: the window
// answers between.
void RunNext(UiWork work) {
    if (!PostToUiThread(work, nullptr))
        work(nullptr);
}

// After the Reboot pane shows: the checks again, the outcome said, the
// drives looked at again.
LRESULT AfterRebootPaneShown(void*) {
    RunChecks();
    AnnounceWriteOutcome();
    FocusRebootText();
    LookAtDrivesAgain();
    return 1;
}

LRESULT DrawRebootPane(void*) {
    RedrawWindow(GetPane(PaneReboot), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    RunNext(AfterRebootPaneShown);
    return 1;
}

// The end of a write, on the UI thread: the full bar, then the next pane,
// drawn before the checks rebuild the status list of the pane it hides.
// Each step is work of its own, so that the window answers between.
LRESULT EndWriteProgress(void*) {
    ShowWriteProgress(nullptr);
    // Done, the passes are told enough by the lines that say so.
    DropPassLines();
    StepPane(+1);
    RunNext(DrawRebootPane);
    return 1;
}

// The end of Put back: the full bar; the wizard stays where it was pressed.
LRESULT EndPutBackProgress(void*) {
    ShowWriteProgress(nullptr);
    DropPassLines();
    RunChecks();
    AnnounceWriteOutcome();
    LookAtDrivesAgain();
    return 1;
}

// Shows a report on the bar; the final one through `end`, queued behind
// the write's status lines. The writer never waits for a repaint: the bar
// shows the latest report, and one posted message at a time is enough to
// bring it there.
void ReportOnBar(uint32_t position, uint32_t total, UiWork end) {
    g_latestProgress = (uint64_t(position) << 32) | total;
    if (position != total) {
        if (!g_progressPosted.exchange(true) && !PostToUiThread(ShowWriteProgress, nullptr))
            g_progressPosted = false;
        return;
    }
    QueueOnUiThread(end, nullptr);
}

// Put back ends where it was pressed: the Install pane shows its outcome.
void PutBackProgress(uint32_t position, uint32_t total) {
    ReportOnBar(position, total, EndPutBackProgress);
}

}  // namespace

void ProgressCallback(uint32_t position, uint32_t total) {
    // The full bar lands before the wizard moves on.
    ReportOnBar(position, total, EndWriteProgress);
}

namespace {

bool StartJob(HWND progressBar, bool putBack, const char* copy = "") {
    if (!TryBeginWrite())
        return false;
    // Whatever the drive held is about to change.
    ForgetImageWritten();
    FollowNewestStatusLines();
    static std::atomic<bool> consoleHandlerSet{false};
    if (!consoleHandlerSet.exchange(true))
        SetConsoleCtrlHandler(OnConsoleControlDuringWrite, TRUE);
    AppState* state = g_appState;
    WriteJob* job = new (std::nothrow) WriteJob{};
    if (job == nullptr) {
        SetWriteActive(0);
        return false;
    }
    job->sourceMode = state->sourceMode;
    if (state->externalPath != nullptr)
        snprintf(job->externalPath, sizeof(job->externalPath), "%s", state->externalPath);
    job->destination = GetDestination();
    job->chosen = ChosenTarget();
    job->putBack = putBack;
    if (putBack)
        snprintf(job->putBackName, sizeof(job->putBackName), "%s", copy);
    job->callback = putBack ? PutBackProgress : ProgressCallback;
    job->passes = kUsualPasses;
    // A failed write's passes showed where it stopped; its outcome lines stay.
    DropPassLines();
    g_progressBar = progressBar;
    if (_beginthread(WriterThread, 0, job) == static_cast<uintptr_t>(-1)) {
        ConsolePrint("Could not start the writer.\n");
        delete job;
        SetWriteActive(0);
        return false;
    }
    return true;
}

}  // namespace

bool StartWriter(HWND progressBar) {
    return StartJob(progressBar, false);
}

bool StartPutBack(HWND progressBar, const char* copy) {
    return StartJob(progressBar, true, copy);
}

void __cdecl WriterThread(void* argument) {
    WriteJob* job = static_cast<WriteJob*>(argument);
    // The write is active since Start was pressed (TryBeginWrite): set
    // again, the UI thread would update every control once more for nothing.
    ConsolePrint("Starting write...\n");
    ConsolePrint("Destination: %s\n", job->destination.text);
    if (!job->destination.IsSet()) {
        delete job;
        SetWriteActive(0);
        return;
    }
    const bool written = job->putBack ? RunPutBack(*job) : RunWrite(*job);
    delete job;
    if (!written)
        EndFailedWrite(g_appState);
}
