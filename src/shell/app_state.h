// The one record of state shared by the panes and the worker threads, and the
// three process-wide flags beside it.
#pragma once

#include <atomic>
#include <cstdint>

enum SourceMode : int32_t {
    SourceNone = 0,
    SourceInternal = 1,
    SourceExternal = 2,
};

constexpr unsigned kPathBufferSize = 1024;
// "\\.\+:" with its NUL; the '+' at index 4 becomes the drive letter.
extern const char kDevicePathTemplate[7];

struct AppState {
    char* tempFolder;                    // owned, kPathBufferSize bytes
    char* archivePath;                   // owned, kPathBufferSize bytes
    char* imagePath;                     // owned, kPathBufferSize bytes
    std::atomic<const char*> imageName;  // borrowed: points into imagePath, or ""
    unsigned char* internalImage;        // owned, page-aligned (VirtualAlloc)
    unsigned char* externalImage;       // owned, page-aligned (VirtualAlloc)
    char* devicePath;                   // owned, 7 bytes
    std::atomic<uint32_t> destination;  // root path such as "E:\" packed into a word; 0: none
    char* externalPath;                 // owned, UI thread only
    std::atomic<int32_t> sourceMode;
};

// Null until InitAppState; never changed or freed after that.
extern std::atomic<AppState*> g_appState;

// Creates the record. Called once, at start before the main window and the
// loader.
void InitAppState();

void SetExternalPath(const char* path);
void SetSourceMode(int32_t mode);
const char* GetImageName();
// A drive as texts name it, "E:" (letter and colon), held by value; "" for none.
struct DriveName {
    char text[3];
};

// A drive's root path, "E:\" (letter, colon, backslash), held by value.
struct DriveRoot {
    char text[4];
    bool IsSet() const { return text[0] != '\0'; }
    DriveName Name() const { return DriveName{{text[0], IsSet() ? ':' : '\0', '\0'}}; }
};

// Copies the root path of the chosen target (null or "" for none). Readers on
// any thread get their own copy, so no rebuild of the drive list can pull the
// text from under them.
void SetDestination(const char* rootPath);
DriveRoot GetDestination();

int IsWriteActive();
int IsLoaderFinished();
int HaveChecksPassed();

// Called, on the thread that changed it, whenever WriteActive changes: the
// main window hears of it this way, since it sits above this record.
void SetWriteStateListener(void (*listener)());

void SetWriteActive(int value);
// Sets WriteActive unless a write is already active; true when it was set.
bool TryBeginWrite();
void SetLoaderFinished();
void SetChecksPassed(int value);
