#include "keep/folder_security_win32.h"

#include <aclapi.h>
#include <sddl.h>

#include <cwchar>
#include <cstdio>

#include "text/console.h"

namespace {

// Who this process is: its token's owner and user, and the owner the file
// system gives a file it makes, where that is another (Wine gives every
// file its one user).
constexpr unsigned kSelves = 3;
BYTE g_selves[kSelves][SECURITY_MAX_SID_SIZE];
bool g_selfKnown[kSelves] = {};
INIT_ONCE g_tokenOnce = INIT_ONCE_STATIC_INIT;

void Remember(unsigned slot, PSID sid) {
    if (sid != nullptr && IsValidSid(sid) && !g_selfKnown[slot])
        g_selfKnown[slot] = CopySid(SECURITY_MAX_SID_SIZE, g_selves[slot], sid) != 0;
}

// TOKEN_OWNER: the owner the process's new objects get by default;
// TOKEN_USER: the account it runs as (GetTokenInformation).
BOOL CALLBACK LearnToken(INIT_ONCE*, void*, void**) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return TRUE;
    alignas(8) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD needed = 0;
    if (GetTokenInformation(token, TokenOwner, buffer, sizeof(buffer), &needed))
        Remember(0, reinterpret_cast<TOKEN_OWNER*>(buffer)->Owner);
    if (GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &needed))
        Remember(1, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
    CloseHandle(token);
    return TRUE;
}

Principal PrincipalOf(PSID sid) {
    InitOnceExecuteOnce(&g_tokenOnce, LearnToken, nullptr, nullptr);
    if (sid == nullptr || !IsValidSid(sid))
        return Principal::Other;
    if (IsWellKnownSid(sid, WinLocalSystemSid))
        return Principal::System;
    if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid))
        return Principal::Administrators;
    for (unsigned i = 0; i < kSelves; ++i)
        if (g_selfKnown[i] && EqualSid(sid, g_selves[i]))
            return Principal::Self;
    return Principal::Other;
}

// The owner of `handle`'s file, read into a buffer of our own: a read of
// every copy's header on each look at the drives allocates nothing.
Principal OwnerOf(HANDLE handle, PSID* sid = nullptr, BYTE (*buffer)[512] = nullptr) {
    alignas(8) BYTE own[512];
    BYTE* into = buffer != nullptr ? *buffer : own;
    DWORD needed = 0;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION, into, sizeof(own), &needed) ||
        !GetSecurityDescriptorOwner(into, &owner, &defaulted))
        return Principal::Other;
    if (sid != nullptr)
        *sid = owner;
    return PrincipalOf(owner);
}

// Where the file system gives what this process makes another owner than
// its token names, that owner is learnt from a file made inside the folder
// just opened (which no one can rename or remove meanwhile), with SYSTEM and
// the Administrators alone let in and removed when it is closed: no other
// account can reach it between its making and the question.
void LearnFileOwner(const wchar_t* folder) {
    if (g_selfKnown[2])
        return;
    wchar_t path[1100];
    swprintf(path, 1100, L"%ls\\owner-%08lx.tdwprobe", folder, GetCurrentProcessId());
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)", SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    const HANDLE probe = CreateFileW(path, READ_CONTROL | DELETE, 0, &attributes, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    LocalFree(descriptor);
    if (probe == INVALID_HANDLE_VALUE)
        return;
    alignas(8) BYTE buffer[512];
    PSID owner = nullptr;
    if (OwnerOf(probe, &owner, &buffer) == Principal::Other)
        Remember(2, owner);
    CloseHandle(probe);
}

// The backup, restore and take-ownership privileges of an elevated
// administrator, enabled while what is at the folder's name is judged: a
// folder whose DACL lets the Administrators nothing can then still be opened,
// read and renamed (Privilege Constants; FILE_FLAG_BACKUP_SEMANTICS).
class Privileges {
public:
    Privileges() {
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token_))
            return;
        const wchar_t* names[] = {L"SeBackupPrivilege", L"SeRestorePrivilege", L"SeTakeOwnershipPrivilege"};
        auto* wanted = reinterpret_cast<TOKEN_PRIVILEGES*>(wanted_);
        wanted->PrivilegeCount = 0;
        for (const wchar_t* name : names) {
            LUID_AND_ATTRIBUTES& entry = wanted->Privileges[wanted->PrivilegeCount];
            if (LookupPrivilegeValueW(nullptr, name, &entry.Luid)) {
                entry.Attributes = SE_PRIVILEGE_ENABLED;
                ++wanted->PrivilegeCount;
            }
        }
        DWORD size = 0;
        changed_ = AdjustTokenPrivileges(token_, FALSE, wanted, sizeof(before_),
                                         reinterpret_cast<TOKEN_PRIVILEGES*>(before_), &size) != 0;
    }
    ~Privileges() {
        if (changed_)
            AdjustTokenPrivileges(token_, FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(before_), 0, nullptr, nullptr);
        if (token_ != nullptr)
            CloseHandle(token_);
    }
    Privileges(const Privileges&) = delete;
    Privileges& operator=(const Privileges&) = delete;

private:
    HANDLE token_ = nullptr;
    bool changed_ = false;
    alignas(8) BYTE wanted_[sizeof(TOKEN_PRIVILEGES) + 3 * sizeof(LUID_AND_ATTRIBUTES)] = {};
    alignas(8) BYTE before_[sizeof(TOKEN_PRIVILEGES) + 3 * sizeof(LUID_AND_ATTRIBUTES)] = {};
};

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

// Renames what is at `folder` to "<name> (set aside <date> <time>)": through
// `handle` when there is one (a link itself, never what it leads to), by
// name otherwise (SetFileInformationByHandle, FILE_RENAME_INFO).
bool SetAside(const wchar_t* folder, HANDLE handle, wchar_t (&asideName)[96]) {
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
    if (handle != INVALID_HANDLE_VALUE) {
        alignas(8) BYTE buffer[sizeof(FILE_RENAME_INFO) + sizeof(aside)] = {};
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer);
        rename->FileNameLength = DWORD(wcslen(aside) * sizeof(wchar_t));
        wmemcpy(rename->FileName, aside, wcslen(aside));
        if (SetFileInformationByHandle(handle, FileRenameInfo, rename,
                                       DWORD(sizeof(FILE_RENAME_INFO) + rename->FileNameLength)))
            return true;
    }
    return MoveFileExW(folder, aside, 0) != 0;
}

}  // namespace

FolderCheck CheckExistingFolder(const wchar_t* folder, const wchar_t* sddl, wchar_t (&asideName)[96],
                                FolderFinding* finding, HANDLE* held) {
    asideName[0] = L'\0';
    *held = INVALID_HANDLE_VALUE;
    const Privileges privileges;
    // FILE_FLAG_OPEN_REPARSE_POINT: a junction or link is looked at itself,
    // never followed to wherever it leads; no FILE_SHARE_DELETE: while the
    // handle is open, no one removes or renames it (CreateFileW).
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    constexpr DWORD kFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
    constexpr DWORD kAccess[] = {
        FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | WRITE_DAC | WRITE_OWNER | DELETE,
        FILE_READ_ATTRIBUTES | READ_CONTROL | DELETE,
        FILE_READ_ATTRIBUTES | DELETE,
    };
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool mayChange = false;
    for (DWORD access : kAccess) {
        handle = CreateFileW(folder, access, kShare, nullptr, OPEN_EXISTING, kFlags, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            mayChange = access == kAccess[0];
            break;
        }
        if (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)
            return FolderCheck::Refused;
    }
    FoundAtName found{};
    found.opened = handle != INVALID_HANDLE_VALUE;
    BY_HANDLE_FILE_INFORMATION information = {};
    if (found.opened && GetFileInformationByHandle(handle, &information)) {
        found.directory = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        found.link = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    }
    if (found.directory && !found.link) {
        LearnFileOwner(folder);
        found.readable = ReadSecurity(handle, &found.security);
    }
    *finding = JudgeFoundAtName(found);
    if (*finding == FolderFinding::Ours) {
        if (mayChange)
            ApplyOurs(handle, sddl);
        // Held with no right that others must share (as listing the folder
        // shares no delete): still, sharing no delete, it stays where it is.
        const HANDLE keep = CreateFileW(folder, FILE_READ_ATTRIBUTES | READ_CONTROL, kShare, nullptr, OPEN_EXISTING,
                                        kFlags, nullptr);
        if (keep != INVALID_HANDLE_VALUE && SameObject(keep, handle)) {
            CloseHandle(handle);
            handle = keep;
        } else if (keep != INVALID_HANDLE_VALUE) {
            CloseHandle(keep);
        }
        *held = handle;
        return FolderCheck::Ours;
    }
    const bool aside = SetAside(folder, handle, asideName);
    const DWORD error = GetLastError();
    if (found.opened)
        CloseHandle(handle);
    if (!aside) {
        ConsolePrint("What stands at the kept copies' folder's name is not this program's own and could not be set "
                     "aside (error %lu).\n",
                     error);
        return FolderCheck::Refused;
    }
    ConsolePrint("What stood at the kept copies' folder's name was not this program's own (%s); it was set aside.\n",
                 *finding == FolderFinding::OtherOwner     ? "another owner"
                 : *finding == FolderFinding::OpenToOthers ? "open to others"
                 : *finding == FolderFinding::File         ? "a file"
                 : *finding == FolderFinding::Link         ? "a link"
                                                           : "unreadable");
    return FolderCheck::SetAside;
}

KeptFileFacts FactsOf(HANDLE file, HANDLE folder) {
    KeptFileFacts facts{true, false, 0, false, Principal::Other};
    BY_HANDLE_FILE_INFORMATION information = {};
    BY_HANDLE_FILE_INFORMATION held = {};
    if (!GetFileInformationByHandle(file, &information) || !GetFileInformationByHandle(folder, &held))
        return facts;
    facts.link = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.directory = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.links = information.nNumberOfLinks;
    facts.inHeldFolder = information.dwVolumeSerialNumber == held.dwVolumeSerialNumber;
    facts.owner = OwnerOf(file);
    return facts;
}

bool SameObject(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION first = {};
    BY_HANDLE_FILE_INFORMATION second = {};
    return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}
