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
