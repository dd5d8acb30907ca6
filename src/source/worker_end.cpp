#include "source/worker_end.h"

#include <windows.h>
#include <process.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/app_state.h"
#include "source/loader_outcome.h"
#include "source/temp_files.h"
#include "source/temp_paths.h"
#include "text/console.h"

bool ShellDelete(const char* pattern, bool permanent) {
    // The Shell wants a list of names ended by two NULs.
    const size_t length = strlen(pattern);
    char* from = static_cast<char*>(calloc(length + 2, 1));
    if (from == nullptr)
        return false;
    memcpy(from, pattern, length);

    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from;
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    if (!permanent)
        operation.fFlags |= FOF_ALLOWUNDO;
    const int result = SHFileOperationA(&operation);
    free(from);
    return result == 0;
}

void __cdecl CleanupThread(void* argument) {
    AppState* state = static_cast<AppState*>(argument);
    if (state == nullptr || state->tempFolder == nullptr)
        return;
    // A loader's and a failed writer's cleanup may overlap; each empties the
    // paths that it deleted, so one at a time.
    static SRWLOCK cleanupLock = SRWLOCK_INIT;
    AcquireSRWLockExclusive(&cleanupLock);
    // Without a whole temporary folder the pattern would match files in the
    // current directory.
    char pattern[kPathBufferSize];
    if (BuildTempPattern(state->tempFolder, kTempArchivePattern, pattern, sizeof(pattern)))
        ShellDelete(pattern, true);
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
