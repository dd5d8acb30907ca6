// Where the temporary files may be deleted.
#pragma once

#include <cstddef>

// True when `folder` is a whole folder path that a delete pattern may be
// joined to: absolute ("C:\..." or "\\server\...") and ending in a
// backslash. An empty or relative folder would aim the pattern at the
// process's current directory.
bool IsTempFolderUsable(const char* folder);

// Joins `folder` and `pattern` into `out` (of `capacity` bytes). False, with
// `out` emptied, when the folder is not usable or the result does not fit.
bool BuildTempPattern(const char* folder, const char* pattern, char* out, size_t capacity);
