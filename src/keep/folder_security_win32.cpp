#include "keep/folder_security_win32.h"

#include <aclapi.h>
#include <sddl.h>

#include <cwchar>

#include "keep/folder_trust.h"
#include "text/console.h"

namespace {

BYTE g_self[SECURITY_MAX_SID_SIZE];
bool g_selfKnown = false;
INIT_ONCE g_selfOnce = INIT_ONCE_STATIC_INIT;

// The owner Windows gives a file this process makes: the token's default
// owner (Administrators for an elevated administrator; Wine gives every
// file its one user). Asked once, of a file made in the temporary folder.
BOOL CALLBACK LearnSelf(INIT_ONCE*, void*, void**) {
    wchar_t folder[MAX_PATH];
    wchar_t file[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH || GetTempFileNameW(folder, L"tdw", 0, file) == 0)
        return TRUE;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                              &descriptor) == ERROR_SUCCESS &&
        owner != nullptr && IsValidSid(owner))
        g_selfKnown = CopySid(sizeof(g_self), g_self, owner) != 0;
    LocalFree(descriptor);
    DeleteFileW(file);
    return TRUE;
}

Principal PrincipalOf(PSID sid) {
    InitOnceExecuteOnce(&g_selfOnce, LearnSelf, nullptr, nullptr);
    if (sid == nullptr || !IsValidSid(sid))
        return Principal::Other;
    if (IsWellKnownSid(sid, WinLocalSystemSid))
        return Principal::System;
    if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid))
        return Principal::Administrators;
    if (g_selfKnown && EqualSid(sid, g_self))
        return Principal::Self;
    return Principal::Other;
}

// The entries of `dacl` that grant or deny access. Audit and label entries
// grant nothing; a granting entry of a type not read here counts as one
// that lets anyone do anything (ACE_HEADER, ACCESS_ALLOWED_ACE).
void ReadEntries(PACL dacl, FolderSecurity* security) {
    ACL_SIZE_INFORMATION size = {};
    if (!GetAclInformation(dacl, &size, sizeof(size), AclSizeInformation)) {
        security->tooMany = true;
        return;
    }
    for (DWORD i = 0; i < size.AceCount; ++i) {
        void* ace = nullptr;
        if (security->count == kMaxJudgedEntries || !GetAce(dacl, i, &ace)) {
            security->tooMany = true;
            return;
        }
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        AccessEntry& entry = security->entries[security->count];
        switch (header->AceType) {
            case ACCESS_ALLOWED_ACE_TYPE:
            case ACCESS_DENIED_ACE_TYPE: {
                const auto* plain = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
                entry = {PrincipalOf(const_cast<DWORD*>(&plain->SidStart)),
                         header->AceType == ACCESS_ALLOWED_ACE_TYPE, plain->Mask};
                break;
            }
            case SYSTEM_AUDIT_ACE_TYPE:
            case SYSTEM_ALARM_ACE_TYPE:
            case SYSTEM_MANDATORY_LABEL_ACE_TYPE:
                continue;
            default:
                entry = {Principal::Other, true, 0xFFFFFFFFu};
                break;
        }
        ++security->count;
    }
}

// Owner and DACL, read through the handle (GetSecurityInfo).
bool ReadSecurity(HANDLE handle, FolderSecurity* security) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    *security = FolderSecurity{};
    security->owner = PrincipalOf(owner);
    security->daclPresent = dacl != nullptr;
    if (dacl != nullptr)
        ReadEntries(dacl, security);
    LocalFree(descriptor);
    return true;
}

// Gives the folder `sddl`'s DACL, protected from inheritance, and the
// Administrators as owner, through the handle (SetSecurityInfo).
void ApplyOurs(HANDLE handle, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD adminsSize = sizeof(admins);
    DWORD error = ERROR_INVALID_SECURITY_DESCR;
    if (GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present &&
        CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &adminsSize))
        error = SetSecurityInfo(handle, SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                    PROTECTED_DACL_SECURITY_INFORMATION,
                                admins, nullptr, dacl, nullptr);
    if (error != ERROR_SUCCESS)
        ConsolePrint("The kept copies' folder could not be protected again (error %lu).\n", error);
    LocalFree(descriptor);
}

// Appends `text`, then `value` in `digits` decimal digits (none: no number).
void Append(wchar_t* out, size_t capacity, const wchar_t* text, unsigned value = 0, unsigned digits = 0) {
    size_t used = wcslen(out);
    for (; *text != L'\0' && used + 1 < capacity; ++text)
        out[used++] = *text;
    for (unsigned i = digits; i > 0 && used + 1 < capacity; --i) {
        unsigned divisor = 1;
        for (unsigned j = 1; j < i; ++j)
            divisor *= 10;
        out[used++] = wchar_t(L'0' + value / divisor % 10);
    }
    out[used] = L'\0';
}

// Renames the folder to "<name> (set aside <date> <time>)".
bool SetAside(const wchar_t* folder, wchar_t (&asideName)[96]) {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    wchar_t suffix[48] = L"";
    Append(suffix, 48, L" (set aside ", now.wYear, 4);
    Append(suffix, 48, L"-", now.wMonth, 2);
    Append(suffix, 48, L"-", now.wDay, 2);
    Append(suffix, 48, L" ", now.wHour, 2);
    Append(suffix, 48, L".", now.wMinute, 2);
    Append(suffix, 48, L".", now.wSecond, 2);
    Append(suffix, 48, L")");
    const wchar_t* last = wcsrchr(folder, L'\\');
    asideName[0] = L'\0';
    Append(asideName, 96, last != nullptr ? last + 1 : folder);
    Append(asideName, 96, suffix);
    wchar_t aside[1100] = L"";
    Append(aside, 1100, folder);
    Append(aside, 1100, suffix);
    return MoveFileExW(folder, aside, 0) != 0;
}

}  // namespace

FolderCheck CheckExistingFolder(const wchar_t* folder, const wchar_t* sddl, wchar_t (&asideName)[96]) {
    asideName[0] = L'\0';
    // FILE_FLAG_OPEN_REPARSE_POINT: a junction or link is looked at itself,
    // never followed to wherever it leads (CreateFileW).
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    constexpr DWORD kFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE handle = CreateFileW(folder, READ_CONTROL | WRITE_DAC | WRITE_OWNER, kShare, nullptr, OPEN_EXISTING,
                                kFlags, nullptr);
    const bool mayChange = handle != INVALID_HANDLE_VALUE;
    if (!mayChange)
        handle = CreateFileW(folder, READ_CONTROL, kShare, nullptr, OPEN_EXISTING, kFlags, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return FolderCheck::Refused;
    BY_HANDLE_FILE_INFORMATION information = {};
    FolderSecurity security{};
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    const bool directory = known && (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool plain = directory && (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    const bool ours = plain && ReadSecurity(handle, &security) && IsTrustedFolder(security);
    if (ours && mayChange)
        ApplyOurs(handle, sddl);
    CloseHandle(handle);
    if (ours)
        return FolderCheck::Ours;
    if (!directory)
        return FolderCheck::Refused;
    if (!SetAside(folder, asideName)) {
        ConsolePrint("The kept copies' folder is not this program's own and could not be set aside (error %lu).\n",
                     GetLastError());
        return FolderCheck::Refused;
    }
    ConsolePrint("The kept copies' folder was not this program's own; it was set aside.\n");
    return FolderCheck::SetAside;
}

bool IsOwnFile(HANDLE file) {
    // Asked of the handle into a buffer of our own: a read of every copy's
    // header on each look at the drives allocates nothing.
    alignas(8) BYTE buffer[512];
    DWORD needed = 0;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    return GetKernelObjectSecurity(file, OWNER_SECURITY_INFORMATION, buffer, sizeof(buffer), &needed) &&
           GetSecurityDescriptorOwner(buffer, &owner, &defaulted) && IsTrustedOwner(PrincipalOf(owner));
}
