#include "keep/folder_trust.h"

bool IsTrustedOwner(Principal owner) {
    return owner != Principal::Other;
}

bool IsTrustedFolder(const FolderSecurity& folder) {
    // The owner may always change the DACL, whatever it says.
    if (!IsTrustedOwner(folder.owner) || !folder.daclPresent || folder.tooMany)
        return false;
    // An entry that lets anyone else change the folder or what it holds is
    // enough, whatever denies come before it: a DACL out of order (as a tool
    // may leave it) is read by Windows in its own order.
    for (unsigned i = 0; i < folder.count && i < kMaxJudgedEntries; ++i) {
        const AccessEntry& entry = folder.entries[i];
        if (entry.allow && entry.who == Principal::Other && (entry.mask & kChangingRights) != 0)
            return false;
    }
    return true;
}

FolderFinding JudgeFoundAtName(const FoundAtName& found) {
    if (!found.opened)
        return FolderFinding::Unreadable;
    if (found.link)
        return FolderFinding::Link;
    if (!found.directory)
        return FolderFinding::File;
    if (!found.readable)
        return FolderFinding::Unreadable;
    if (!IsTrustedOwner(found.security.owner))
        return FolderFinding::OtherOwner;
    return IsTrustedFolder(found.security) ? FolderFinding::Ours : FolderFinding::OpenToOthers;
}

bool IsSoundKeptFile(const KeptFileFacts& file) {
    return !file.link && !file.directory && file.links == 1 && file.inHeldFolder && IsTrustedOwner(file.owner);
}
