// Loading the image attached to the program file at start-up.
#pragma once

struct AppState;

// Starts LoaderThread; does not wait for it.
void StartLoader();

// Thread procedure: finds the attached archive, unpacks its image into memory
// and reports the outcome on the Welcome pane.
void __cdecl LoaderThread(void*);

// Copies the archive attached to the program file into the temporary folder.
// Returns on success; on failure ends the thread through AbortWorker.
void LocateAttachedArchive(AppState* state);

// Unpacks the archive's first entry into the temporary folder, loads it into
// memory and starts the removal of the temporary files. Returns on success; on
// failure ends the thread through AbortWorker.
void ExtractAttachedImage(AppState* state);
