#include "keep/kept_files_win32.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <atomic>
#include <cwchar>
#include <cstring>

#include "keep/folder_security_win32.h"
#include "text/console.h"

namespace {

constexpr wchar_t kFolderName[] = L"TalvixOS Disk Writer";
// SYSTEM and Administrators, full control, inherited by what the folder
// holds and by nothing from above: the copies hold the start of users' files.
constexpr wchar_t kFolderDacl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// Room for the longest folder path Windows gives and a copy's name.
constexpr size_t kPathCapacity = 1024;

std::atomic<bool> g_folderReady{false};
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

// Gives the folder (or a copy moved into it) its own DACL and the
// Administrators as owner: a folder that a user made first under the same
// name is taken from them. False when Windows refuses.
bool Protect(const wchar_t* path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kFolderDacl, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD adminsSize = sizeof(admins);
    bool done = GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present &&
                CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &adminsSize);
    if (done) {
        const DWORD error = SetNamedSecurityInfoW(
            const_cast<wchar_t*>(path), SE_FILE_OBJECT,
            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, admins,
            nullptr, dacl, nullptr);
        done = error == ERROR_SUCCESS;
        if (!done)
            SetLastError(error);
    }
    LocalFree(descriptor);
    return done;
}

char g_setAside[96];  // written once, under g_folderLock, before g_folderReady

bool CreateOurs(const wchar_t* folder, DWORD* error) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kFolderDacl, SDDL_REVISION_1, &descriptor, nullptr)) {
        *error = GetLastError();
        return false;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    const bool made = CreateDirectoryW(folder, &attributes) != 0;
    *error = GetLastError();
    LocalFree(descriptor);
    return made;
}

// Makes the folder with its DACL from the start. One that is there already
// is, the first time (`judge`), used only when it is this program's own
// (and given its DACL again); another's is set aside and a new one made.
bool MakeFolder(const wchar_t* folder, bool judge) {
    DWORD error = 0;
    if (CreateOurs(folder, &error))
        return true;
    if (error != ERROR_ALREADY_EXISTS)
        return false;
    if (judge) {
        wchar_t aside[96];
        switch (CheckExistingFolder(folder, kFolderDacl, aside)) {
            case FolderCheck::Ours:
                return true;
            case FolderCheck::SetAside:
                for (size_t i = 0; i + 1 < sizeof(g_setAside) && aside[i] != L'\0'; ++i)
                    g_setAside[i] = aside[i] < 0x80 ? char(aside[i]) : '?';
                return CreateOurs(folder, &error);
            case FolderCheck::Refused:
                SetLastError(ERROR_DIRECTORY);
                return false;
        }
    }
    const DWORD kind = GetFileAttributesW(folder);
    // A link could lead the copies anywhere: only a plain folder will do.
    if (kind == INVALID_FILE_ATTRIBUTES || (kind & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (kind & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    return true;
}

// Copies an older version kept in the local application data of whoever
// ran it are moved here, protected like the rest, so that they are offered
// and put back as any other. Never over a copy of the same name.
void MoveOldCopies(const wchar_t* folder) {
    wchar_t old[kPathCapacity];
    wchar_t pattern[kPathCapacity];
    if (!KnownFolder(CSIDL_LOCAL_APPDATA, old) || !Join(pattern, old, L"kept-*.tdwcopy"))
        return;
    WIN32_FIND_DATAW found = {};
    const HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        wchar_t from[kPathCapacity];
        wchar_t to[kPathCapacity];
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !Join(from, old, found.cFileName) ||
            !Join(to, folder, found.cFileName))
            continue;
        if (MoveFileExW(from, to, MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
            Protect(to);
            ConsolePrint("Moved a kept copy from the local application data to the program's data folder.\n");
        } else {
            ConsolePrint("A kept copy in the local application data could not be moved (error %lu).\n",
                         GetLastError());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// "<common application data>\TalvixOS Disk Writer". Made (again, when it
// was deleted meanwhile) when `make` is set; protected, with the old copies
// moved into it, the first time the program asks.
// The folder's path is asked of Windows once: every file call needs it.
bool FolderPath(wchar_t (&folder)[kPathCapacity], bool make = false) {
    static wchar_t known[kPathCapacity];
    if (g_folderReady && !make) {
        wmemcpy(folder, known, kPathCapacity);
        return true;
    }
    AcquireSRWLockExclusive(&g_folderLock);
    const bool first = !g_folderReady;
    bool ready = !first || KnownFolder(CSIDL_COMMON_APPDATA, known);
    if (ready) {
        wmemcpy(folder, known, kPathCapacity);
        ready = MakeFolder(folder, first);
    }
    if (ready && first) {
        MoveOldCopies(folder);
        g_folderReady = true;
    }
    ReleaseSRWLockExclusive(&g_folderLock);
    return ready;
}

// The full path of `name` (plain ASCII, as every name here is) in the folder.
bool PathOf(const char* name, wchar_t (&path)[kPathCapacity], bool make = false) {
    wchar_t folder[kPathCapacity];
    if (!FolderPath(folder, make))
        return false;
    return Join(path, folder, nullptr, name);
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

uint32_t Length(void*, const char* name, uint64_t* length) {
    wchar_t path[kPathCapacity];
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!PathOf(name, path))
        return ERROR_PATH_NOT_FOUND;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return Failed();
    *length = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return 0;
}

uint32_t Read(void*, const char* name, uint64_t offset, uint8_t* data, uint32_t size, uint32_t* done) {
    *done = 0;
    wchar_t path[kPathCapacity];
    if (!PathOf(name, path))
        return ERROR_PATH_NOT_FOUND;
    const HANDLE file = CreateFileW(path, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Failed();
    // A file that anyone else made or owns is never read: it could be a copy
    // planted to be put back onto the next drive.
    if (!IsOwnFile(file)) {
        CloseHandle(file);
        ConsolePrint("%s in the kept copies' folder is not this program's own: it is ignored.\n", name);
        return ERROR_ACCESS_DENIED;
    }
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
    wchar_t path[kPathCapacity];
    if (!PathOf(name, path, true))
        return ERROR_PATH_NOT_FOUND;
    const HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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
        DeleteFileW(path);
    return error;
}

uint32_t Move(const char* from, const char* to, DWORD flags) {
    wchar_t source[kPathCapacity];
    wchar_t target[kPathCapacity];
    if (!PathOf(from, source) || !PathOf(to, target))
        return ERROR_PATH_NOT_FOUND;
    return MoveFileExW(source, target, flags | MOVEFILE_WRITE_THROUGH) ? 0 : Failed();
}

uint32_t Rename(void*, const char* from, const char* to) {
    // No MOVEFILE_REPLACE_EXISTING: a copy is never written over.
    return Move(from, to, 0);
}

uint32_t Replace(void*, const char* from, const char* to) {
    return Move(from, to, MOVEFILE_REPLACE_EXISTING);
}

uint32_t Remove(void*, const char* name) {
    wchar_t path[kPathCapacity];
    if (!PathOf(name, path))
        return ERROR_PATH_NOT_FOUND;
    return DeleteFileW(path) ? 0 : Failed();
}

uint32_t Update(void*, const char* name, uint64_t offset, const uint8_t* data, uint32_t size) {
    wchar_t path[kPathCapacity];
    if (!PathOf(name, path))
        return ERROR_PATH_NOT_FOUND;
    const HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Failed();
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(offset);
    uint32_t error = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ? WriteAll(file, data, size) : Failed();
    if (error == 0 && !FlushFileBuffers(file))
        error = Failed();
    CloseHandle(file);
    return error;
}

const KeptFiles kFiles = {List, Length, Read, Create, Rename, Replace, Remove, Update, nullptr};

}  // namespace

const char* KeptFolderSetAside() {
    return g_folderReady ? g_setAside : "";
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
