#include "source/image_digest.h"

#include <windows.h>
#include <process.h>

#include <atomic>
#include <cstring>
#include <new>

#include "shell/app_state.h"
#include "shell/ui_thread.h"
#include "source/external_file.h"
#include "source/file_names.h"
#include "text/console.h"

namespace {

// Enough for the file just chosen and a few before it: going back to an
// earlier choice does not hash it again.
constexpr unsigned kRememberedFiles = 4;
constexpr DWORD kReadPiece = 1u << 20;

enum class DigestState : uint8_t { Empty, Hashing, Known, Failed };

struct RememberedDigest {
    DigestState state;
    char path[kPathBufferSize];
    uint64_t size;
    uint64_t lastWrite;
    char hex[kSha256HexSize];
};

// UI thread only.
RememberedDigest g_files[kRememberedFiles];
unsigned g_nextFile;

// Written once by the loader before g_attachedKnown is set.
char g_attachedHex[kSha256HexSize];
Sha256Digest g_attachedDigest;
std::atomic<bool> g_attachedKnown{false};
void (*g_attachedWhenKnown)();  // set at start, before the loader runs

// One file to hash: owned by the hashing thread, then handed to the UI thread.
struct HashJob {
    char path[kPathBufferSize];
    uint64_t size;
    uint64_t lastWrite;
    void (*whenKnown)();
    DigestState outcome;  // Known, Failed, or Empty when the file changed meanwhile
    char hex[kSha256HexSize];
};

uint64_t FileTimeNumber(const FILETIME& time) {
    return uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

bool SameVersion(const RememberedDigest& entry, const char* path, uint64_t size, uint64_t lastWrite) {
    return entry.size == size && entry.lastWrite == lastWrite && strcmp(entry.path, path) == 0;
}

// Known when `file` is the version asked for, Empty when it is another,
// Failed when Windows will not say.
DigestState CompareVersion(HANDLE file, const HashJob& job) {
    LARGE_INTEGER size = {};
    FILETIME written = {};
    if (!GetFileSizeEx(file, &size) || !GetFileTime(file, nullptr, nullptr, &written))
        return DigestState::Failed;
    const bool same = uint64_t(size.QuadPart) == job.size && FileTimeNumber(written) == job.lastWrite;
    return same ? DigestState::Known : DigestState::Empty;
}

// Feeds the whole file to a new hasher; Known with job->hex, Failed when the
// file cannot be read or hashed, Empty when it is no longer (or stopped
// being, while it was read) the version asked for: that one is asked again.
DigestState HashFile(HashJob* job) {
    const HANDLE file = OpenPathForReading(job->path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (file == INVALID_HANDLE_VALUE)
        return DigestState::Failed;
    const DigestState before = CompareVersion(file, *job);
    if (before != DigestState::Known) {
        CloseHandle(file);
        return before;
    }
    auto* piece =
        static_cast<unsigned char*>(VirtualAlloc(nullptr, kReadPiece, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    Sha256Hasher* hasher = piece != nullptr ? BeginSha256() : nullptr;
    uint64_t total = 0;
    DWORD read = 0;
    while (hasher != nullptr && ReadFile(file, piece, kReadPiece, &read, nullptr) && read > 0 &&
           AddToSha256(hasher, piece, read))
        total += read;
    Sha256Digest digest;
    // Every byte the size promised, and not one more.
    const bool whole = hasher != nullptr && total == job->size;
    DigestState outcome = EndSha256(hasher, whole ? &digest : nullptr) ? DigestState::Known : DigestState::Failed;
    if (outcome == DigestState::Known)
        FormatSha256(digest, job->hex);
    if (CompareVersion(file, *job) == DigestState::Empty)
        outcome = DigestState::Empty;
    if (piece != nullptr)
        VirtualFree(piece, 0, MEM_RELEASE);
    CloseHandle(file);
    return outcome;
}

// The UI thread's half: keeps the outcome for the version hashed, then lets
// the checks show it.
LRESULT StoreDigestOnUiThread(void* argument) {
    HashJob* job = static_cast<HashJob*>(argument);
    for (RememberedDigest& entry : g_files) {
        if (entry.state != DigestState::Hashing || !SameVersion(entry, job->path, job->size, job->lastWrite))
            continue;
        entry.state = job->outcome;
        memcpy(entry.hex, job->hex, sizeof(entry.hex));
    }
    void (*whenKnown)() = job->whenKnown;
    delete job;
    if (whenKnown != nullptr)
        whenKnown();
    return 1;
}

void __cdecl HashThread(void* argument) {
    HashJob* job = static_cast<HashJob*>(argument);
    job->outcome = HashFile(job);
    if (job->outcome == DigestState::Known)
        ConsolePrint("SHA-256 of %s: %s\n", FileNamePart(job->path), job->hex);
    else if (job->outcome == DigestState::Failed)
        ConsolePrint("The SHA-256 of %s could not be computed.\n", job->path);
    QueueOnUiThread(StoreDigestOnUiThread, job);
}

LRESULT AttachedDigestKnown(void*) {
    g_attachedWhenKnown();
    return 1;
}

}  // namespace

void SetAttachedDigestHook(void (*whenKnown)()) {
    g_attachedWhenKnown = whenKnown;
}

void NoteAttachedImageSha256(const char* name, const unsigned char* image, size_t size) {
    Sha256Digest digest;
    if (!Sha256Of(image, size, &digest)) {
        ConsolePrint("The SHA-256 of %s could not be computed.\n", name);
        return;
    }
    FormatSha256(digest, g_attachedHex);
    g_attachedDigest = digest;
    g_attachedKnown = true;
    ConsolePrint("SHA-256 of %s: %s\n", name, g_attachedHex);
    // Without a window yet, the checks that the Install pane runs when shown
    // find the digest themselves.
    if (g_attachedWhenKnown != nullptr)
        QueueOnUiThread(AttachedDigestKnown, nullptr);
}

bool AttachedImageDigest(Sha256Digest* digest) {
    if (!g_attachedKnown)
        return false;
    *digest = g_attachedDigest;
    return true;
}

bool AttachedImageSha256(char (&hex)[kSha256HexSize]) {
    if (!g_attachedKnown)
        return false;
    memcpy(hex, g_attachedHex, sizeof(hex));
    return true;
}

bool ChosenFileSha256(const FileVersion& file, void (*whenKnown)(), char (&hex)[kSha256HexSize]) {
    if (strlen(file.path) >= kPathBufferSize)
        return false;
    for (const RememberedDigest& entry : g_files) {
        if (entry.state == DigestState::Empty || !SameVersion(entry, file.path, file.size, file.lastWrite))
            continue;
        if (entry.state == DigestState::Known)
            memcpy(hex, entry.hex, sizeof(hex));
        return entry.state == DigestState::Known;
    }
    auto* job = new (std::nothrow) HashJob{};
    if (job == nullptr)
        return false;
    RememberedDigest& entry = g_files[g_nextFile];
    g_nextFile = (g_nextFile + 1) % kRememberedFiles;
    entry.state = DigestState::Hashing;
    strcpy(entry.path, file.path);
    entry.size = file.size;
    entry.lastWrite = file.lastWrite;
    strcpy(job->path, file.path);
    job->size = file.size;
    job->lastWrite = file.lastWrite;
    job->whenKnown = whenKnown;
    if (_beginthread(HashThread, 0, job) == static_cast<uintptr_t>(-1)) {
        ConsolePrint("Could not start hashing %s.\n", file.path);
        entry.state = DigestState::Failed;
        delete job;
    }
    return false;
}
