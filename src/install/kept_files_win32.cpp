#include "install/kept_files_win32.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>

namespace {

constexpr char kFolderName[] = "TalvixOS Disk Writer";

uint32_t Failed() {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

// "<local application data>\TalvixOS Disk Writer", made when `make` is set.
bool FolderPath(char (&folder)[MAX_PATH], bool make) {
    char base[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | (make ? CSIDL_FLAG_CREATE : 0), nullptr,
                                SHGFP_TYPE_CURRENT, base)))
        return false;
    const int length = snprintf(folder, sizeof(folder), "%s\\%s", base, kFolderName);
    if (length <= 0 || length >= int(sizeof(folder)))
        return false;
    return !make || CreateDirectoryA(folder, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// The full path of `name` in the folder; false when it does not fit.
bool PathOf(const char* name, char (&path)[MAX_PATH], bool make = false) {
    char folder[MAX_PATH];
    if (!FolderPath(folder, make))
        return false;
    const int length = snprintf(path, sizeof(path), "%s\\%s", folder, name);
    return length > 0 && length < int(sizeof(path));
}

uint32_t List(void*, void (*each)(void* user, const char* name), void* user) {
    char pattern[MAX_PATH];
    if (!PathOf("*", pattern))
        return ERROR_PATH_NOT_FOUND;
    WIN32_FIND_DATAA found = {};
    const HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return Failed();
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            found.cFileName[sizeof(found.cFileName) - 1] = '\0';
            each(user, found.cFileName);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return 0;
}

uint32_t Length(void*, const char* name, uint64_t* length) {
    char path[MAX_PATH];
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!PathOf(name, path))
        return ERROR_PATH_NOT_FOUND;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return Failed();
    *length = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return 0;
}

uint32_t Read(void*, const char* name, uint64_t offset, uint8_t* data, uint32_t size, uint32_t* done) {
    *done = 0;
    char path[MAX_PATH];
    if (!PathOf(name, path))
        return ERROR_PATH_NOT_FOUND;
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Failed();
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(offset);
    uint32_t error = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ? 0 : Failed();
    while (error == 0 && *done < size) {
        DWORD read = 0;
        if (!ReadFile(file, data + *done, size - *done, &read, nullptr))
            error = Failed();
        else if (read == 0)
            break;
        *done += read;
    }
    CloseHandle(file);
    return error;
}

uint32_t WriteAll(HANDLE file, const uint8_t* data, uint32_t size) {
    for (uint32_t written = 0; written < size;) {
        DWORD done = 0;
        if (!WriteFile(file, data + written, size - written, &done, nullptr))
            return Failed();
        if (done == 0)
            return ERROR_DISK_FULL;
        written += done;
    }
    return 0;
}

uint32_t Create(void*, const char* name, const uint8_t* const* parts, const uint32_t* sizes, unsigned count) {
    char path[MAX_PATH];
    if (!PathOf(name, path, true))
        return ERROR_PATH_NOT_FOUND;
    const HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Failed();
    uint32_t error = 0;
    for (unsigned i = 0; i < count && error == 0; ++i)
        error = WriteAll(file, parts[i], sizes[i]);
    // On the disk before it is named: a crash never leaves a named half copy.
    if (error == 0 && !FlushFileBuffers(file))
        error = Failed();
    CloseHandle(file);
    if (error != 0)
        DeleteFileA(path);
    return error;
}

uint32_t Rename(void*, const char* from, const char* to) {
    char source[MAX_PATH];
    char target[MAX_PATH];
    if (!PathOf(from, source) || !PathOf(to, target))
        return ERROR_PATH_NOT_FOUND;
    // No MOVEFILE_REPLACE_EXISTING: a copy is never written over.
    return MoveFileExA(source, target, MOVEFILE_WRITE_THROUGH) ? 0 : Failed();
}

uint32_t Remove(void*, const char* name) {
    char path[MAX_PATH];
    if (!PathOf(name, path))
        return ERROR_PATH_NOT_FOUND;
    return DeleteFileA(path) ? 0 : Failed();
}

const KeptFiles kFiles = {List, Length, Read, Create, Rename, Remove, nullptr};

}  // namespace

const KeptFiles& Win32KeptFiles() {
    return kFiles;
}
