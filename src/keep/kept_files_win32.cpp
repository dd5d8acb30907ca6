#include "keep/kept_files_win32.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <cwchar>
#include <cstring>

#include "keep/folder_security_win32.h"
#include "text/console.h"

namespace {

constexpr wchar_t kFolderName[] = L"TalvixOS Disk Writer";
// SYSTEM and Administrators, full control, inherited by what the folder
// holds and by nothing from above: the copies hold the start of users' files.
// The Administrators own it and every file in it, whoever of them made it.
constexpr wchar_t kFolderDacl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr wchar_t kFolderSecurity[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr wchar_t kFileOwner[] = L"O:BA";
// Room for the longest folder path Windows gives and a copy's name.
constexpr size_t kPathCapacity = 1024;

// The judged folder, open from the first call to the program's end: no one
// removes or renames it meanwhile (no FILE_SHARE_DELETE).
HANDLE g_held = INVALID_HANDLE_VALUE;
SRWLOCK g_folderLock = SRWLOCK_INIT;

uint32_t Failed() {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

// `folder` "\\" `name` into `path`; false when it does not fit. A name of
// plain ASCII (every name of this folder) may come as `ascii` instead.
bool Join(wchar_t (&path)[kPathCapacity], const wchar_t* folder, const wchar_t* name, const char* ascii = nullptr) {
    size_t used = wcslen(folder);
    if (used + 2 >= kPathCapacity)
        return false;
    wmemcpy(path, folder, used);
    path[used++] = L'\\';
    for (size_t i = 0; name != nullptr ? name[i] != L'\0' : ascii[i] != '\0'; ++i) {
        if (used + 1 >= kPathCapacity)
            return false;
        path[used++] = name != nullptr ? name[i] : wchar_t(static_cast<unsigned char>(ascii[i]));
    }
    path[used] = L'\0';
    return true;
}

// "<known folder>\TalvixOS Disk Writer"; false when Windows gives no such folder.
bool KnownFolder(int which, wchar_t (&folder)[kPathCapacity]) {
    wchar_t base[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, which, nullptr, SHGFP_TYPE_CURRENT, base)))
        return false;
    base[MAX_PATH - 1] = L'\0';
    return Join(folder, base, kFolderName);
}

char g_setAside[96];  // written under g_folderLock
FolderFinding g_setAsideFinding = FolderFinding::Ours;

bool CreateOurs(const wchar_t* folder, DWORD* error) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kFolderSecurity, SDDL_REVISION_1, &descriptor, nullptr)) {
        *error = GetLastError();
        return false;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    const bool made = CreateDirectoryW(folder, &attributes) != 0;
    *error = GetLastError();
    LocalFree(descriptor);
    return made;
}

// Makes the folder with its DACL and owner from the start, and holds it.
// Whatever is at its name already is used only when it is this program's own
// folder; anything else is set aside and a new one made.
bool MakeFolder(const wchar_t* folder) {
    DWORD error = 0;
    if (!CreateOurs(folder, &error) && error != ERROR_ALREADY_EXISTS)
        return false;
    for (int tries = 0; tries < 2; ++tries) {
        wchar_t aside[96];
        FolderFinding finding = FolderFinding::Ours;
        switch (CheckExistingFolder(folder, kFolderDacl, aside, &finding, &g_held)) {
            case FolderCheck::Ours:
                return true;
            case FolderCheck::SetAside: {
                size_t i = 0;
                for (; i + 1 < sizeof(g_setAside) && aside[i] != L'\0'; ++i)
                    g_setAside[i] = aside[i] < 0x80 ? char(aside[i]) : '?';
                g_setAside[i] = '\0';
                g_setAsideFinding = finding;
                if (!CreateOurs(folder, &error))
                    return false;
                break;
            }
            case FolderCheck::Refused:
                SetLastError(ERROR_DIRECTORY);
                return false;
        }
    }
    SetLastError(ERROR_DIRECTORY);
    return false;
}

// True while the name still leads to the held folder. Windows keeps it so
// (the held handle shares no delete); where it does not (another system's
// files removed under it), the folder is judged and held again.
bool StillHeld(const wchar_t* folder) {
    if (g_held == INVALID_HANDLE_VALUE)
        return false;
    const HANDLE now = CreateFileW(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                   nullptr);
    const bool same = now != INVALID_HANDLE_VALUE && SameObject(now, g_held);
    if (now != INVALID_HANDLE_VALUE)
        CloseHandle(now);
    if (!same) {
        CloseHandle(g_held);
        g_held = INVALID_HANDLE_VALUE;
    }
    return same;
}

// "<common application data>\TalvixOS Disk Writer", judged and held at the
// first call, and again whenever its name no longer leads to the held one.
// The folder's path is asked of Windows once: every file call needs it.
bool FolderPath(wchar_t (&folder)[kPathCapacity]) {
    static wchar_t known[kPathCapacity];
    AcquireSRWLockExclusive(&g_folderLock);
    bool ready = known[0] != L'\0' || KnownFolder(CSIDL_COMMON_APPDATA, known);
    if (ready) {
        wmemcpy(folder, known, kPathCapacity);
        ready = StillHeld(folder) || MakeFolder(folder);
    }
    ReleaseSRWLockExclusive(&g_folderLock);
    return ready;
}

// The full path of `name` (plain ASCII, as every name here is) in the folder.
bool PathOf(const char* name, wchar_t (&path)[kPathCapacity]) {
    wchar_t folder[kPathCapacity];
    if (!FolderPath(folder))
        return false;
    return Join(path, folder, nullptr, name);
}

// Opens `name` in the held folder and keeps it only when it is a plain
// file of this program's own with no other name (one hard link), on the held
// folder's volume: a link, a second name or a planted file is refused.
HANDLE OpenKept(const char* name, DWORD access, DWORD share, uint32_t* error) {
    wchar_t path[kPathCapacity];
    if (!PathOf(name, path)) {
        *error = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE file = CreateFileW(path, access | READ_CONTROL | FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = Failed();
        return file;
    }
    AcquireSRWLockShared(&g_folderLock);
    const bool sound = g_held != INVALID_HANDLE_VALUE && IsSoundKeptFile(FactsOf(file, g_held));
    ReleaseSRWLockShared(&g_folderLock);
    if (!sound) {
        CloseHandle(file);
        ConsolePrint("%s in the kept copies' folder is not this program's own: it is ignored.\n", name);
        *error = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

uint32_t List(void*, void (*each)(void* user, const char* name), void* user) {
    wchar_t pattern[kPathCapacity];
    if (!PathOf("*", pattern))
        return ERROR_PATH_NOT_FOUND;
    WIN32_FIND_DATAW found = {};
    const HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return Failed();
    do {
        // Only names of ASCII letters are ours; any other is skipped.
        char name[MAX_PATH];
        size_t i = 0;
        for (; found.cFileName[i] != L'\0' && found.cFileName[i] < 0x80 && i + 1 < sizeof(name); ++i)
            name[i] = char(found.cFileName[i]);
        name[i] = '\0';
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && found.cFileName[i] == L'\0')
            each(user, name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return 0;
}

// The size alone, from the folder's entry: the folder is listed often and
// every header read after it, and an open that judges the file costs a
// dozen calls into Windows. Nothing of a file is read but through
// OpenKept, which refuses anyone else's, so a size says nothing of whose
// it is.
uint32_t Length(void*, const char* name, uint64_t* length) {
    wchar_t path[kPathCapacity];
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!PathOf(name, path))
        return ERROR_PATH_NOT_FOUND;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return Failed();
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return ERROR_ACCESS_DENIED;
    *length = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return 0;
}

uint32_t Read(void*, const char* name, uint64_t offset, uint8_t* data, uint32_t size, uint32_t* done) {
    *done = 0;
    // A file that anyone else made or owns is never read: it could be a copy
    // planted to be put back onto the next drive.
    uint32_t error = 0;
    const HANDLE file = OpenKept(name, GENERIC_READ, FILE_SHARE_READ, &error);
    if (file == INVALID_HANDLE_VALUE)
        return error;
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(offset);
    error = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ? 0 : Failed();
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
    wchar_t path[kPathCapacity];
    if (!PathOf(name, path))
        return ERROR_PATH_NOT_FOUND;
    // The Administrators own every copy, whichever of them kept it.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kFileOwner, SDDL_REVISION_1, &descriptor, nullptr))
        return Failed();
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    const HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const uint32_t failed = file == INVALID_HANDLE_VALUE ? Failed() : 0;
    LocalFree(descriptor);
    if (file == INVALID_HANDLE_VALUE)
        return failed;
    uint32_t error = 0;
    for (unsigned i = 0; i < count && error == 0; ++i)
        error = WriteAll(file, parts[i], sizes[i]);
    // On the disk before it is named: a crash never leaves a named half copy.
    if (error == 0 && !FlushFileBuffers(file))
        error = Failed();
    CloseHandle(file);
    if (error != 0)
        DeleteFileW(path);
    return error;
}

uint32_t Move(const char* from, const char* to, DWORD flags) {
    wchar_t source[kPathCapacity];
    wchar_t target[kPathCapacity];
    uint32_t error = 0;
    // Held open (sharing its delete) while it is renamed: the file renamed is
    // the one looked at.
    const HANDLE file = OpenKept(from, 0, FILE_SHARE_READ | FILE_SHARE_DELETE, &error);
    if (file == INVALID_HANDLE_VALUE)
        return error;
    if (!PathOf(from, source) || !PathOf(to, target))
        error = ERROR_PATH_NOT_FOUND;
    else if (!MoveFileExW(source, target, flags | MOVEFILE_WRITE_THROUGH))
        error = Failed();
    CloseHandle(file);
    return error;
}

uint32_t Rename(void*, const char* from, const char* to) {
    // No MOVEFILE_REPLACE_EXISTING: a copy is never written over.
    return Move(from, to, 0);
}

uint32_t Replace(void*, const char* from, const char* to) {
    return Move(from, to, MOVEFILE_REPLACE_EXISTING);
}

uint32_t Remove(void*, const char* name) {
    // Deleted through the handle that was looked at (FILE_DISPOSITION_INFO).
    uint32_t error = 0;
    const HANDLE file = OpenKept(name, DELETE, 0, &error);
    if (file == INVALID_HANDLE_VALUE)
        return error;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    error = SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)) ? 0 : Failed();
    CloseHandle(file);
    return error;
}

uint32_t Update(void*, const char* name, uint64_t offset, const uint8_t* data, uint32_t size) {
    uint32_t error = 0;
    const HANDLE file = OpenKept(name, GENERIC_WRITE, 0, &error);
    if (file == INVALID_HANDLE_VALUE)
        return error;
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(offset);
    error = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ? WriteAll(file, data, size) : Failed();
    if (error == 0 && !FlushFileBuffers(file))
        error = Failed();
    CloseHandle(file);
    return error;
}

const KeptFiles kFiles = {List, Length, Read, Create, Rename, Replace, Remove, Update, nullptr};

}  // namespace

const char* KeptFolderSetAside(FolderFinding* finding) {
    AcquireSRWLockShared(&g_folderLock);
    *finding = g_setAsideFinding;
    ReleaseSRWLockShared(&g_folderLock);
    return g_setAside;
}

char KeptFolderLetter() {
    wchar_t folder[kPathCapacity];
    if (!KnownFolder(CSIDL_COMMON_APPDATA, folder) || folder[1] != L':' || folder[0] > 0x7F)
        return 0;
    return char(folder[0] >= L'a' && folder[0] <= L'z' ? folder[0] - L'a' + L'A' : folder[0]);
}

const KeptFiles& Win32KeptFiles() {
    return kFiles;
}
