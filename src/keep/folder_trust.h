// Whether the kept copies' folder, and each file in it, is this program's
// own: the copies hold the start of users' files and go back onto their
// drives, so nothing that another user could have made or changed is used.
#pragma once

#include <cstdint>

// Who a security descriptor names, as far as the copies care.
enum class Principal : uint8_t {
    System,          // LocalSystem (S-1-5-18)
    Administrators,  // BUILTIN\Administrators (S-1-5-32-544)
    Self,            // this process: its token's owner or user, or the owner the file system
                     // gives what it makes (Wine gives every file its one user)
    Other,           // anyone else: a user, Users, Everyone, Authenticated Users, ...
};

// One access control entry of a DACL: `allow` for one that grants, false
// for one that denies.
struct AccessEntry {
    Principal who;
    bool allow;
    uint32_t mask;
};

constexpr unsigned kMaxJudgedEntries = 32;

struct FolderSecurity {
    Principal owner;
    bool daclPresent;  // false: a NULL DACL, which lets everyone do everything
    AccessEntry entries[kMaxJudgedEntries];
    unsigned count;
    bool tooMany;      // more entries than were judged
};

// Rights that change what a folder or file holds, who may, or whether it
// stays: the folder's and files' own, the generic ones, and their standard
// rights (File Access Rights Constants, Access Mask Format).
constexpr uint32_t kChangingRights = 0x00000002u     // FILE_WRITE_DATA / FILE_ADD_FILE
                                     | 0x00000004u   // FILE_APPEND_DATA / FILE_ADD_SUBDIRECTORY
                                     | 0x00000010u   // FILE_WRITE_EA
                                     | 0x00000040u   // FILE_DELETE_CHILD
                                     | 0x00000100u   // FILE_WRITE_ATTRIBUTES
                                     | 0x00010000u   // DELETE
                                     | 0x00040000u   // WRITE_DAC
                                     | 0x00080000u   // WRITE_OWNER
                                     | 0x10000000u   // GENERIC_ALL
                                     | 0x40000000u   // GENERIC_WRITE
                                     | 0x02000000u;  // MAXIMUM_ALLOWED

// True when only SYSTEM, the Administrators or this process itself own it.
bool IsTrustedOwner(Principal owner);

// True when the folder is this program's own: a trusted owner, and a DACL
// that lets no one else change anything in it. Otherwise it is moved aside.
bool IsTrustedFolder(const FolderSecurity& folder);

// What stands at the folder's name, as looked at without following a link.
struct FoundAtName {
    bool opened;      // a handle to it was had (with the backup and restore rights)
    bool directory;
    bool link;        // a reparse point: a junction or symbolic link
    bool readable;    // its owner and DACL were read
    FolderSecurity security;
};

// Why what stands at the folder's name is, or is not, the folder.
enum class FolderFinding : uint8_t {
    Ours,
    OtherOwner,    // another user owns it: they may change its DACL at will
    OpenToOthers,  // its DACL lets others change it or what it holds
    File,          // a file, not a folder
    Link,          // a link, which could lead the copies anywhere
    Unreadable,    // not even its owner could be read: nothing of it is used
};

// Anything but Ours is set aside, whatever its type.
FolderFinding JudgeFoundAtName(const FoundAtName& found);

// A file in the folder, as its open handle tells it.
struct KeptFileFacts {
    bool link;          // a reparse point
    bool directory;
    uint32_t links;     // hard links to it: more than one, and another name could change it
    bool inHeldFolder;  // on the held folder's volume, under a name of the held folder
    Principal owner;
};

// True when the file may be read or changed as a copy.
bool IsSoundKeptFile(const KeptFileFacts& file);
