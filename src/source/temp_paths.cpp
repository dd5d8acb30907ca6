#include "source/temp_paths.h"

#include <cstdio>
#include <cstring>

bool IsTempFolderUsable(const char* folder) {
    if (folder == nullptr)
        return false;
    const size_t length = strlen(folder);
    if (length < 3 || folder[length - 1] != '\\')
        return false;
    const bool drive = ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z')) &&
                       folder[1] == ':' && folder[2] == '\\';
    const bool share = folder[0] == '\\' && folder[1] == '\\';
    return drive || share;
}

bool BuildTempPattern(const char* folder, const char* pattern, char* out, size_t capacity) {
    if (capacity == 0)
        return false;
    out[0] = '\0';
    if (!IsTempFolderUsable(folder) || pattern == nullptr)
        return false;
    const int length = snprintf(out, capacity, "%s%s", folder, pattern);
    if (length < 0 || static_cast<size_t>(length) >= capacity) {
        out[0] = '\0';
        return false;
    }
    return true;
}
