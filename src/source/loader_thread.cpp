#include "source/loader_thread.h"

#include <windows.h>
#include <process.h>

#include <cstdio>
#include <cstring>

#include "shell/app_state.h"
#include "source/file_io.h"
#include "source/image_digest.h"
#include "source/loader_outcome.h"
#include "source/pe_overlay.h"
#include "source/temp_files.h"
#include "source/worker_end.h"
#include "source/zip_reader.h"
#include "text/console.h"

namespace {

// The archive is searched for from here on: the program's headers come first.
constexpr DWORD kScanStart = 5120;
// ZIP local-file-header signature, "PK\3\4" read as a little-endian word.
constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kImageSize = 1474560;
// Far above any program with an image attached; refuses absurd files.
constexpr DWORD kMaxProgramSize = 64u * 1024 * 1024;

// Builds folder + name into a path buffer; false when it would not fit.
bool JoinPath(char* out, const char* folder, const char* name) {
    const int length = snprintf(out, kPathBufferSize, "%s%s", folder, name);
    return length >= 0 && length < static_cast<int>(kPathBufferSize);
}

// The first position at or after kScanStart where the signature stands, or
// -1. Only the first `end` bytes are searched.
long long FindSignature(const unsigned char* bytes, DWORD end) {
    for (DWORD p = kScanStart; end >= 4 && p <= end - 4; ++p) {
        uint32_t word;
        memcpy(&word, bytes + p, sizeof(word));
        if (word == kLocalHeaderSignature)
            return p;
    }
    return -1;
}

[[noreturn]] void Fail(AppState* state, const char* reason) {
    ConsolePrint("%s\n", reason);
    AbortWorker(state);
}

// Unpacks the archive's first entry into `image` (kImageSize bytes) and into
// the file that imagePath then names. Returns null, or why the archive was
// refused.
const char* UnpackFirstEntry(AppState* state, const AttachedArchive& archive, unsigned char* image) {
    ConsolePrint("Accesing compressed files inside zip...\n");
    ZipEntry entry;
    ZipStatus status = ReadFirstZipEntry(archive.bytes, archive.size, kImageSize, &entry);
    ConsolePrint("Opening first file object...\n");
    if (status != ZipStatus::Ok) {
        SetLastError(ERROR_INVALID_DATA);
        return DescribeZipStatus(status);
    }
    if (!JoinPath(state->imagePath, state->tempFolder, UnpackedImageName(entry.name).c_str()))
        return "The unpacked image's path is too long.";

    ConsolePrint("Unpacking...");
    status = InflateZipEntry(archive.bytes, archive.size, entry, image, kImageSize);
    if (status != ZipStatus::Ok) {
        ConsolePrint("\n");  // the reason goes on a line of its own
        return DescribeZipStatus(status);
    }
    return WriteWholeFile(state->imagePath, image, kImageSize) ? nullptr : "Cannot write the unpacked image.";
}

}  // namespace

AttachedArchive LocateAttachedArchive(AppState* state) {
    const DWORD length = GetModuleFileNameA(nullptr, state->archivePath, kPathBufferSize);
    if (length == 0 || length >= kPathBufferSize) {
        state->archivePath[0] = '\0';
        Fail(state, "Cannot find the program's own file.");
    }

    DWORD size = 0;
    unsigned char* program = ReadWholeFile(state->archivePath, kMaxProgramSize, &size);
    // Until the archive is copied out, archivePath names the program itself,
    // which no cleanup may delete.
    if (program == nullptr) {
        state->archivePath[0] = '\0';
        AbortWorker(state);
    }

    // A signed program carries its certificate table after the archive; the
    // archive, and so the temporary copy, ends where that table begins, or
    // just before the signing tool's padding.
    const PeOverlayEnd overlay = FindPeOverlayEnd(program, size);
    const DWORD end = static_cast<DWORD>(FindZipArchiveEnd(program, overlay.archiveEnd, overlay.padding));
    const long long start = FindSignature(program, end);
    if (start < 0) {
        LocalFree(program);
        ConsolePrint("Encountered End Of File error...\n");
        state->archivePath[0] = '\0';
        SetLastError(ERROR_HANDLE_EOF);
        AbortWorker(state);
    }

    if (!JoinPath(state->archivePath, state->tempFolder, kTempArchiveName)) {
        LocalFree(program);
        state->archivePath[0] = '\0';
        Fail(state, "The temporary folder's path is too long.");
    }
    const AttachedArchive archive = {program, program + start, end - static_cast<DWORD>(start)};
    if (!WriteWholeFile(state->archivePath, archive.bytes, archive.size)) {
        LocalFree(program);
        AbortWorker(state);
    }
    ConsolePrint("Writing temporary file: %s\n", state->archivePath);
    return archive;
}

void ExtractAttachedImage(AppState* state, AttachedArchive archive) {
    ConsolePrint("Creating Shell Object...");
    ConsolePrint("ok\nCreating destination folder object %s...", state->tempFolder);
    const DWORD attributes = GetFileAttributesA(state->tempFolder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        LocalFree(archive.program);
        Fail(state, "\nThe temporary folder does not exist.");
    }

    // The archive is unpacked from memory, where it already is; the
    // temporary copy is there for whoever looks, and is not read back.
    ConsolePrint("ok\nReading temporary file: %s\n", state->archivePath);
    // Page-aligned, as raw writes to a device want whole sectors in memory too.
    auto* image =
        static_cast<unsigned char*>(VirtualAlloc(nullptr, kImageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (image == nullptr) {
        LocalFree(archive.program);
        Fail(state, "Out of memory.");
    }
    const char* failure = UnpackFirstEntry(state, archive, image);
    LocalFree(archive.program);
    if (failure != nullptr) {
        VirtualFree(image, 0, MEM_RELEASE);
        state->imagePath[0] = '\0';
        Fail(state, failure);
    }
    ConsolePrint("ok\nTemporary file %s unpacked.\n", state->archivePath);

    // Unpacked straight into memory: the file just written holds the same bytes.
    ConsolePrint("Reading temporary file: %s\n", state->imagePath);
    state->internalImage = image;
    const char* name = strrchr(state->imagePath, '\\') + 1;

    // Published last, in one store: readers see "" or the whole name.
    state->imageName = name;

    ConsolePrint("Cleaning up temporary files in %s\n", state->tempFolder);
    StartCleanup(state);
}

void StartLoader() {
    if (_beginthread(LoaderThread, 0, nullptr) == static_cast<uintptr_t>(-1))
        ConsolePrint("Could not start the image loader.\n");
}

void __cdecl LoaderThread(void*) {
    AppState* state = g_appState;
    state->archivePath = static_cast<char*>(LocalAlloc(LPTR, kPathBufferSize));
    state->imagePath = static_cast<char*>(LocalAlloc(LPTR, kPathBufferSize));
    state->tempFolder = static_cast<char*>(LocalAlloc(LPTR, kPathBufferSize));
    state->devicePath = static_cast<char*>(LocalAlloc(LPTR, sizeof(kDevicePathTemplate)));
    if (state->archivePath == nullptr || state->imagePath == nullptr || state->tempFolder == nullptr ||
        state->devicePath == nullptr)
        Fail(nullptr, "Out of memory.");
    memcpy(state->devicePath, kDevicePathTemplate, sizeof(kDevicePathTemplate));

    const DWORD tempLength = GetTempPathA(kPathBufferSize, state->tempFolder);
    if (tempLength == 0 || tempLength >= kPathBufferSize) {
        state->tempFolder[0] = '\0';
        Fail(state, "Cannot find the temporary folder.");
    }
    ConsolePrint("Using temporary folder: %s\n", state->tempFolder);

    // Nothing here needs COM any more; the trace keeps its steps.
    ConsolePrint("Initializing the COM library...\n");

    ConsolePrint("Extracting zipped image file...\n");
    const AttachedArchive archive = LocateAttachedArchive(state);

    ConsolePrint("Start unpacking...\n");
    ExtractAttachedImage(state, archive);

    ConsolePrint("Releasing COM library...\n");

    ConsolePrint("TalvixOS image succesfully loaded into memory.\n\n");
    ConsolePrint("Ready...\n");
    SetLoaderFinished();
    ReportLoaderOutcome(true, nullptr);
    NoteAttachedImageSha256(state->imageName.load(), state->internalImage, kImageSize);
}
