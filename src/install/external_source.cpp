#include "install/external_source.h"

#include <windows.h>
#include <process.h>

#include <new>

#include <cstring>

#include "resource.h"
#include "shell/app_state.h"
#include "shell/ui_thread.h"
#include "source/external_file.h"
#include "source/file_names.h"
#include "status/status_list.h"
#include "text/console.h"
#include "text/text.h"
#include "write/write_loop.h"

namespace {

enum class ArchiveState : uint8_t { Empty, Reading, Known };

// The archive last asked about: read and unpacked on a thread of its own,
// since it may be large or on a slow drive; the checks show the outcome once
// it is known. UI thread only.
struct RememberedArchive {
    ArchiveState state;
    char path[kPathBufferSize * 3];
    uint64_t size;
    uint64_t lastWrite;
    CheckedArchive checked;
};

RememberedArchive g_lastArchive;

// One archive to read: owned by the reading thread, then by the UI thread.
struct ArchiveJob {
    RememberedArchive archive;
    SourceVerdict kind;
    void (*whenKnown)();
};

ArchiveKind KindOf(SourceVerdict verdict) {
    return verdict == SourceVerdict::GzipArchive ? ArchiveKind::Gzip : ArchiveKind::Zip;
}

unsigned RefusalText(ArchiveVerdict verdict) {
    switch (verdict) {
        case ArchiveVerdict::Encrypted:
            return IDS_ARCHIVE_ENCRYPTED;
        case ArchiveVerdict::Spanned:
            return IDS_ARCHIVE_SPANNED;
        case ArchiveVerdict::Unsupported:
            return IDS_ARCHIVE_UNSUPPORTED;
        case ArchiveVerdict::Damaged:
        case ArchiveVerdict::OutOfMemory:
            return IDS_ARCHIVE_DAMAGED;
        default:
            return IDS_ARCHIVE_NO_IMAGE;
    }
}

// The writer's lines go to the progress log, from its own thread.
void LogLine(MessageKind kind, const char* text) {
    LogProgressUtf8(kind, text);
}

// Reads the first sector and the size of a raw image file; false when it
// cannot be opened.
bool ReadHead(const char* path, unsigned char (&head)[kWriteSectorSize], DWORD* read, uint64_t* size) {
    const HANDLE file = OpenPathForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER fileSize = {};
    if (!ReadFile(file, head, sizeof(head), read, nullptr))
        *read = 0;
    if (!GetFileSizeEx(file, &fileSize))
        fileSize.QuadPart = 0;
    *size = static_cast<uint64_t>(fileSize.QuadPart);
    CloseHandle(file);
    return true;
}

// The first bytes of a raw image, as the plan for its size says, followed
// by zeros to the image's end; null when the file cannot be read whole.
unsigned char* ReadRawImage(const char* path, uint64_t size) {
    const ExternalImagePlan plan = PlanExternalImageRead(size);
    const HANDLE file = OpenPathForReading(path, FILE_SHARE_READ);
    if (file == INVALID_HANDLE_VALUE || plan.verdict != ExternalImageVerdict::ReadImage) {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        return nullptr;
    }
    // VirtualAlloc hands out zeroed pages: the padding of a trimmed file.
    auto* image =
        static_cast<unsigned char*>(VirtualAlloc(nullptr, kWriteImageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD total = 0;
    while (image != nullptr && total < plan.bytesToRead) {
        DWORD read = 0;
        if (!ReadFile(file, image + total, plan.bytesToRead - total, &read, nullptr) || read == 0)
            break;
        total += read;
    }
    CloseHandle(file);
    if (image != nullptr && total != plan.bytesToRead) {
        VirtualFree(image, 0, MEM_RELEASE);
        return nullptr;
    }
    if (image != nullptr && plan.zeroBytes > 0)
        ConsolePrint("%s is %u bytes; the last %u bytes are written as zeros.\n", FileNamePart(path), plan.bytesToRead,
                     plan.zeroBytes);
    return image;
}

// The checks' Error for a raw file they would refuse; 0 when they pass it.
unsigned RawRefusalText(SourceVerdict verdict) {
    switch (verdict) {
        case SourceVerdict::Bootable:
        case SourceVerdict::Trimmed:
            return 0;
        case SourceVerdict::TooShort:
            return IDS_SOURCE_TOO_SHORT;
        default:
            return IDS_NOT_BOOTABLE;
    }
}

// The UI thread's half: keeps the outcome for the version read, then lets
// the checks show it.
LRESULT StoreArchiveOnUiThread(void* argument) {
    auto* job = static_cast<ArchiveJob*>(argument);
    RememberedArchive& last = g_lastArchive;
    if (last.state == ArchiveState::Reading && last.size == job->archive.size &&
        last.lastWrite == job->archive.lastWrite && strcmp(last.path, job->archive.path) == 0) {
        last.checked = job->archive.checked;
        last.state = ArchiveState::Known;
    }
    void (*whenKnown)() = job->whenKnown;
    delete job;
    if (whenKnown != nullptr)
        whenKnown();
    return 1;
}

void __cdecl ReadArchiveThread(void* argument) {
    auto* job = static_cast<ArchiveJob*>(argument);
    CheckedArchive& checked = job->archive.checked;
    unsigned char* image = nullptr;
    checked.image = LoadArchiveImage(job->archive.path, KindOf(job->kind), &image);
    if (image != nullptr) {
        Sha256Digest digest;
        // The image as it came out of the archive, as its publisher hashed the
        // file: a trimmed one without the zeros the drive gets after it.
        checked.digestKnown = Sha256Of(image, checked.image.size, &digest);
        if (checked.digestKnown)
            FormatSha256(digest, checked.hex);
        VirtualFree(image, 0, MEM_RELEASE);
    }
    QueueOnUiThread(StoreArchiveOnUiThread, job);
}

}  // namespace

bool CheckArchiveFile(const FileVersion& file, SourceVerdict kind, void (*whenKnown)(), CheckedArchive* checked) {
    RememberedArchive& last = g_lastArchive;
    if (last.state != ArchiveState::Empty && last.size == file.size && last.lastWrite == file.lastWrite &&
        strcmp(last.path, file.path) == 0) {
        *checked = last.checked;
        return last.state == ArchiveState::Known;
    }
    auto* job = new (std::nothrow) ArchiveJob{};
    if (job == nullptr || strlen(file.path) >= sizeof(last.path)) {
        delete job;
        checked->image.verdict = ArchiveVerdict::OutOfMemory;
        return true;
    }
    last.state = ArchiveState::Reading;
    strcpy(last.path, file.path);
    last.size = file.size;
    last.lastWrite = file.lastWrite;
    job->archive = last;
    job->kind = kind;
    job->whenKnown = whenKnown;
    if (_beginthread(ReadArchiveThread, 0, job) == static_cast<uintptr_t>(-1)) {
        ConsolePrint("Could not start reading %s.\n", file.path);
        delete job;
        last.state = ArchiveState::Empty;
        checked->image.verdict = ArchiveVerdict::OutOfMemory;
        return true;
    }
    return false;
}

void AddArchiveRefusal(void (*add)(MessageKind kind, const char* text), const ArchiveImage& image, const char* name) {
    if (image.verdict == ArchiveVerdict::SeveralImages)
        add(MessageKind::Error, GetTextUtf8(IDS_ARCHIVE_SEVERAL_IMAGES, name, image.images, image.name));
    else
        add(MessageKind::Error, GetTextUtf8(RefusalText(image.verdict), name));
}

unsigned char* LoadSourceAsChecked(const char* path) {
    const char* shown = path;
    unsigned char head[kWriteSectorSize];
    DWORD read = 0;
    uint64_t size = 0;
    if (!ReadHead(path, head, &read, &size)) {
        LogProgressPath(MessageKind::Error, IDS_SOURCE_NOT_FOUND, shown);
        return nullptr;
    }
    const SourceVerdict verdict = ClassifySourceFile(head, read, size);
    if (verdict == SourceVerdict::ZipArchive || verdict == SourceVerdict::GzipArchive) {
        unsigned char* image = nullptr;
        const ArchiveImage found = LoadArchiveImage(path, KindOf(verdict), &image);
        if (image == nullptr)
            AddArchiveRefusal(LogLine, found, FileNamePart(shown));
        return image;
    }
    if (const unsigned refusal = RawRefusalText(verdict)) {
        LogProgressPath(MessageKind::Error, refusal, shown);
        return nullptr;
    }
    unsigned char* image = ReadRawImage(path, size);
    if (image == nullptr) {
        LogProgressNumber(MessageKind::Error, IDS_CANT_LOAD_SOURCE, IDS_CANT_LOAD_SOURCE);
        return nullptr;
    }
    // What was read is what is written: judged again, in case the file
    // changed since its first sector was looked at.
    if (RawRefusalText(ClassifySourceFile(image, kWriteSectorSize, size)) != 0) {
        VirtualFree(image, 0, MEM_RELEASE);
        LogProgressPath(MessageKind::Error, IDS_NOT_BOOTABLE, shown);
        return nullptr;
    }
    return image;
}
