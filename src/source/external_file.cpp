#include "source/external_file.h"

#include <cstring>

#include "shell/app_state.h"
#include "source/file_names.h"
#include "text/console.h"
#include "text/utf8_text.h"

bool WideToUtf8(const wchar_t* text, char* out, size_t capacity) {
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out, static_cast<int>(capacity), nullptr, nullptr);
    if (length <= 0 && capacity > 0)
        out[0] = '\0';
    return length > 0;
}

bool Utf8ToWide(const char* text, wchar_t* out, size_t capacity) {
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out, static_cast<int>(capacity));
    if (length <= 0 && capacity > 0)
        out[0] = L'\0';
    return length > 0;
}

HANDLE OpenPathForReading(const char* utf8Path, DWORD share) {
    wchar_t path[kPathBufferSize];
    if (!Utf8ToWide(utf8Path, path, kPathBufferSize)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

namespace {

// The whole file in a LocalAlloc'ed block, or null with a console line.
unsigned char* ReadArchiveFile(const char* utf8Path, DWORD* size) {
    const HANDLE file = OpenPathForReading(utf8Path, FILE_SHARE_READ);
    if (file == INVALID_HANDLE_VALUE) {
        ConsolePrint("Cannot open %s (error %lu).\n", utf8Path, GetLastError());
        return nullptr;
    }
    LARGE_INTEGER fileSize = {};
    unsigned char* bytes = nullptr;
    if (!GetFileSizeEx(file, &fileSize) || fileSize.QuadPart <= 0 || fileSize.QuadPart > kMaxArchiveFileSize) {
        ConsolePrint("%s is larger than %lu bytes, empty, or of unknown size: not read.\n", utf8Path,
                     kMaxArchiveFileSize);
    } else {
        *size = static_cast<DWORD>(fileSize.QuadPart);
        bytes = static_cast<unsigned char*>(LocalAlloc(LMEM_FIXED, *size));
    }
    DWORD total = 0;
    while (bytes != nullptr && total < *size) {
        DWORD read = 0;
        if (!ReadFile(file, bytes + total, *size - total, &read, nullptr) || read == 0)
            break;
        total += read;
    }
    CloseHandle(file);
    if (bytes != nullptr && total != *size) {
        ConsolePrint("Cannot read %s (error %lu).\n", utf8Path, GetLastError());
        LocalFree(bytes);
        bytes = nullptr;
    }
    return bytes;
}

}  // namespace

ArchiveImage LoadArchiveImage(const char* utf8Path, ArchiveKind kind, unsigned char** image) {
    *image = nullptr;
    ArchiveImage found;
    found.verdict = ArchiveVerdict::NoImage;
    DWORD size = 0;
    unsigned char* archive = ReadArchiveFile(utf8Path, &size);
    if (archive == nullptr)
        return found;
    // VirtualAlloc hands out zeroed pages: the padding of a trimmed image.
    auto* out = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, kLargestArchivedImage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    found = UnpackArchiveImage(kind, archive, size, out, out != nullptr ? kLargestArchivedImage : 0);
    LocalFree(archive);
    if (out == nullptr)
        found.verdict = ArchiveVerdict::OutOfMemory;
    if (found.verdict != ArchiveVerdict::Ok) {
        ConsolePrint("%s: %s\n", utf8Path, DescribeArchiveVerdict(found.verdict));
        if (out != nullptr)
            VirtualFree(out, 0, MEM_RELEASE);
        return found;
    }
    // A gzip stream need not name its file: the image is then the archive
    // without its ".gz", in UTF-8 as the path, cut between characters.
    if (found.name[0] == '\0') {
        const char* archiveName = FileNamePart(utf8Path);
        size_t length = strlen(archiveName);
        if (length >= sizeof(found.name))
            length = Utf8CharStart(archiveName, sizeof(found.name) - 1);
        memcpy(found.name, archiveName, length);
        found.name[length] = '\0';
        if (length > 3 && _stricmp(found.name + length - 3, ".gz") == 0)
            found.name[length - 3] = '\0';
    }
    ConsolePrint("%s holds %s, %u bytes.\n", utf8Path, found.name, static_cast<unsigned>(found.size));
    *image = out;
    return found;
}
