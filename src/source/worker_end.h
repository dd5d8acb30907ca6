// The temporary files' removal and the failure end of worker threads.
#pragma once

struct AppState;

// Deletes, for good, every file in `folder` that a wildcard pattern matches.
// Does nothing unless the folder is a whole absolute one (IsTempFolderUsable):
// a relative one would aim the pattern at the current directory.
void DeleteMatchingFiles(const char* folder, const char* pattern);

// Starts a thread that deletes the temporary files; does not wait for it.
void StartCleanup(AppState* state);
void __cdecl CleanupThread(void* state);

// The failure end of a write: clears WriteActive and starts the cleanup. The
// image the loader found stays loaded, and the Welcome pane keeps saying so.
void EndFailedWrite(AppState* state);

// The failure end of the loader thread: clears WriteActive, starts the cleanup,
// shows the no-image Welcome text and ends the calling thread.
[[noreturn]] void AbortWorker(AppState* state);
