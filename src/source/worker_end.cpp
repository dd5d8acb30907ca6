#include "source/worker_end.h"

#include <windows.h>
#include <process.h>

#include "shell/app_state.h"
#include "source/loader_outcome.h"
#include "source/temp_files.h"
#include "source/temp_paths.h"
#include "text/console.h"

void DeleteMatchingFiles(const char* folder, const char* pattern) {
    char path[kPathBufferSize];
    if (!BuildTempPattern(folder, pattern, path, sizeof(path)))
        return;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            !BuildTempPattern(folder, found.cFileName, path, sizeof(path)))
            continue;
        // A read-only leftover goes too, as it did through the Shell.
        if (!DeleteFileA(path) && (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 &&
            SetFileAttributesA(path, found.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY))
            DeleteFileA(path);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void __cdecl CleanupThread(void* argument) {
    AppState* state = static_cast<AppState*>(argument);
    if (state == nullptr || state->tempFolder == nullptr)
        return;
    // A loader's and a failed writer's cleanup may overlap; each empties the
    // paths that it deleted, so one at a time.
    static SRWLOCK cleanupLock = SRWLOCK_INIT;
    AcquireSRWLockExclusive(&cleanupLock);
    DeleteMatchingFiles(state->tempFolder, kTempArchivePattern);
    if (state->archivePath != nullptr && state->archivePath[0] != '\0') {
        DeleteFileA(state->archivePath);
        state->archivePath[0] = '\0';
    }
    if (state->imagePath != nullptr && state->imagePath[0] != '\0') {
        DeleteFileA(state->imagePath);
        state->imagePath[0] = '\0';
    }
    ReleaseSRWLockExclusive(&cleanupLock);
}

void StartCleanup(AppState* state) {
    ConsolePrint("Removing temporary files\n");
    if (_beginthread(CleanupThread, 0, state) == static_cast<uintptr_t>(-1))
        ConsolePrint("Could not start removing the temporary files.\n");
}

void EndFailedWrite(AppState* state) {
    SetWriteActive(0);
    ConsolePrint("Encountered an error.\n");
    StartCleanup(state);
    ConsolePrint("\nEnd of thread.\n");
}

void AbortWorker(AppState* state) {
    SetWriteActive(0);
    ConsolePrint("Encountered an error.\n");
    StartCleanup(state);
    ConsolePrint("\nEnd of thread.\n");
    SetLoaderFinished();
    ReportLoaderOutcome(false, nullptr);
    _endthread();
    // _endthread does not return; this keeps the compiler sure of it.
    ExitThread(0);
}
