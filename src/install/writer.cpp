#include "install/writer.h"

#include <process.h>

#include <commctrl.h>

#include <atomic>
#include <new>
#include <cstdio>
#include <cstring>

#include "devices/usb_restart.h"
#include "install/checks.h"
#include "install/status_list.h"
#include "install/target_device.h"
#include "install/write_loop.h"
#include "resource.h"
#include "shell/app_state.h"
#include "shell/panes.h"
#include "source/worker_end.h"

namespace {

// What a write needs of the UI thread's state, copied when Start is pressed,
// so the thread never reads texts that the UI thread may replace.
struct WriteJob {
    int32_t sourceMode;
    char externalPath[kPathBufferSize];
    DriveRoot destination;
    void (*callback)(uint32_t position, uint32_t total);
};

std::atomic<HWND> g_progressBar{nullptr};
char g_savedDestination[100];  // the writer's own copy; one write at a time

const char* FileNamePart(const char* path) {
    const char* slash = strrchr(path, '\\');
    return slash != nullptr ? slash + 1 : path;
}

// Loads the first image's worth of an external file into `externalImage`
// (page-aligned, so any sector size up to 4 KiB suits it). Returns false,
// with its Error line logged, when the file cannot serve as an image.
bool LoadExternalImage(AppState* state, const char* path) {
    printf("Loading %s...\n", path);
    if (path[0] == '\0') {
        LogProgressNumber(MessageKind::Error, IDS_CANT_LOAD_SOURCE, IDS_CANT_LOAD_SOURCE);
        return false;
    }
    LogProgress(MessageKind::Ok, IDS_READING_SOURCE, FileNamePart(path));

    if (state->externalImage != nullptr) {
        VirtualFree(state->externalImage, 0, MEM_RELEASE);
        state->externalImage = nullptr;
    }
    bool loaded = false;
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER size = {};
    if (file != INVALID_HANDLE_VALUE && GetFileSizeEx(file, &size)) {
        const ExternalImagePlan plan = PlanExternalImageRead(static_cast<uint64_t>(size.QuadPart));
        if (plan.verdict == ExternalImageVerdict::ReadImage) {
            auto* image = static_cast<unsigned char*>(
                VirtualAlloc(nullptr, kWriteImageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
            DWORD total = 0;
            while (image != nullptr && total < plan.bytesToRead) {
                DWORD read = 0;
                if (!ReadFile(file, image + total, plan.bytesToRead - total, &read, nullptr) || read == 0)
                    break;
                total += read;
            }
            if (image != nullptr && total == plan.bytesToRead) {
                state->externalImage = image;
                loaded = true;
            } else if (image != nullptr) {
                VirtualFree(image, 0, MEM_RELEASE);
            }
        }
    }
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    printf("External image loaded: %s\n", loaded ? "Yes" : "No");
    if (!loaded)
        LogProgressNumber(MessageKind::Error, IDS_CANT_LOAD_SOURCE, IDS_CANT_LOAD_SOURCE);
    return loaded;
}

void ReportProgress(void* context, uint32_t position, uint32_t total) {
    static_cast<const WriteJob*>(context)->callback(position, total);
}

// Writes `source` onto the destination. Returns false, with its Error line
// logged, when the drive did not take the whole image.
bool WriteToDrive(const WriteJob& job, const unsigned char* source) {
    const char* root = job.destination.text;
    // The letter may have changed hands since it was chosen.
    if (GetDriveTypeA(root) != DRIVE_REMOVABLE) {
        LogProgress(MessageKind::Error, IDS_NOT_REMOVABLE_NOW, root);
        return false;
    }
    if (source == nullptr) {
        LogProgressNumber(MessageKind::Error, IDS_CANT_WRITE, IDS_CANT_WRITE);
        return false;
    }
    TargetDevice device;
    switch (OpenTargetDevice(root[0], &device)) {
        case TargetOpenOutcome::Opened:
            break;
        case TargetOpenOutcome::InUse:
            LogProgress(MessageKind::Error, IDS_DRIVE_IN_USE, root);
            return false;
        case TargetOpenOutcome::LargeSectors:
            LogProgress(MessageKind::Error, IDS_LARGE_SECTORS, root);
            return false;
        case TargetOpenOutcome::Spanned:
            LogProgress(MessageKind::Error, IDS_SPANNED_VOLUME, root);
            return false;
        case TargetOpenOutcome::CannotOpen:
            printf("Cannot open drive %c: for writing (error %lu).\n", root[0], GetLastError());
            LogProgressNumber(MessageKind::Error, IDS_CANT_WRITE, IDS_CANT_WRITE);
            return false;
    }

    const ULONGLONG started = GetTickCount64();
    const WriteResult result = WriteImage(source, kWriteImageSize, TargetWriteDevice(&device),
                                          WriteProgress{ReportProgress, const_cast<WriteJob*>(&job)});
    const DWORD writeError = device.lastError;
    const bool flushed = CloseTargetDevice(&device);
    printf("Wrote %u of %u chunks in %llu ms.\n", result.chunksWritten, kWriteChunkCount,
           static_cast<unsigned long long>(GetTickCount64() - started));
    if (result.outcome != WriteOutcome::Written) {
        if (result.outcome == WriteOutcome::ShortWrite)
            printf("Writing stopped at byte %llu of %u: the drive took only part of a chunk.\n",
                   static_cast<unsigned long long>(result.failedOffset), kWriteImageSize);
        else
            printf("Writing stopped at byte %llu of %u (error %lu).\n",
                   static_cast<unsigned long long>(result.failedOffset), kWriteImageSize, writeError);
    } else if (!flushed) {
        printf("The drive did not take the last chunks from the cache (error %lu).\n", device.lastError);
    }
    if (result.outcome != WriteOutcome::Written || !flushed) {
        LogProgressNumber(MessageKind::Error, IDS_CANT_WRITE, IDS_CANT_WRITE);
        return false;
    }
    return true;
}

// One whole write; false when it failed (its lines are logged).
bool RunWrite(const WriteJob& job) {
    AppState* state = g_appState;
    const unsigned char* source = nullptr;
    if (job.sourceMode == SourceExternal) {
        if (!LoadExternalImage(state, job.externalPath))
            return false;
        source = state->externalImage;
    } else {
        printf("Internal image loaded: %s\n", state->internalImage != nullptr ? "Yes" : "No");
        source = state->internalImage;
    }
    LogProgress(MessageKind::Ok, IDS_WRITE_STARTED, nullptr);
    const UsbRestartPlan plan = FindUsbDeviceToRestart(job.destination.text[0]);
    if (!WriteToDrive(job, source))
        return false;

    memcpy(g_savedDestination, job.destination.text, sizeof(job.destination.text));
    LogProgress(MessageKind::Ok, IDS_USB_RESTARTING, g_savedDestination);
    RestartUsbDevice(plan);
    LogProgress(MessageKind::Ok, IDS_USB_RESTARTED, nullptr);
    SetDestination(g_savedDestination);
    SetWriteActive(0);
    RunChecks();
    job.callback(kWriteImageSize, kWriteImageSize);
    return true;
}

}  // namespace

void ProgressCallback(uint32_t position, uint32_t total) {
    const HWND bar = g_progressBar;
    SendMessageA(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(total));
    SendMessageA(bar, PBM_SETPOS, position, 0);
    if (position == total)
        StepPane(+1);
}

bool StartWriter(HWND progressBar) {
    if (!TryBeginWrite())
        return false;
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
    job->callback = ProgressCallback;
    g_progressBar = progressBar;
    if (_beginthread(WriterThread, 0, job) == static_cast<uintptr_t>(-1)) {
        printf("Could not start the writer.\n");
        delete job;
        SetWriteActive(0);
        return false;
    }
    return true;
}

void __cdecl WriterThread(void* argument) {
    WriteJob* job = static_cast<WriteJob*>(argument);
    printf("Starting write...\n");
    SetWriteActive(1);
    printf("Destination: %s\n", job->destination.text);
    if (!job->destination.IsSet()) {
        delete job;
        SetWriteActive(0);
        return;
    }
    const bool written = RunWrite(*job);
    delete job;
    if (!written)
        AbortWorker(g_appState);
}
