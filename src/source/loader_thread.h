// Loading the image attached to the program file at start-up.
#pragma once

#include <windows.h>

struct AppState;

// Starts LoaderThread; does not wait for it.
void StartLoader();

// Thread procedure: finds the attached archive, unpacks its image into memory
// and reports the outcome on the Welcome pane.
void __cdecl LoaderThread(void*);

// The archive attached to the program file, inside the program file's bytes.
struct AttachedArchive {
    unsigned char* program;  // owned (LocalAlloc): the whole program file
    const unsigned char* bytes;
    DWORD size;
};

// Copies the archive attached to the program file into the temporary folder
// and returns it, still in memory. Returns on success; on failure ends the
// thread through AbortWorker.
AttachedArchive LocateAttachedArchive(AppState* state);

// Unpacks the archive's first entry into memory and into the temporary
// folder, and starts the removal of the temporary files; frees `archive`.
// Returns on success; on failure ends the thread through AbortWorker.
void ExtractAttachedImage(AppState* state, AttachedArchive archive);
