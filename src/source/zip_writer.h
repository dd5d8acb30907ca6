// Writes the one-entry ZIP archive that is attached to the program's file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// A modification time as ZIP stores it: MS-DOS time and date words.
struct DosTimestamp {
    uint16_t time = 0;
    uint16_t date = 0;
};

// The time an archive gets unless told otherwise (2024-01-01 00:00:00), so
// that the same image always gives the same archive.
constexpr DosTimestamp kZipFixedTimestamp{0x0000, ((2024 - 1980) << 9) | (1 << 5) | 1};

// The DOS time of `unixSeconds` (seconds since 1970, read as UTC), rounded
// down to even seconds as DOS counts them, and clamped to the years DOS can
// express (1980 to 2107).
DosTimestamp DosTimestampFromUnix(int64_t unixSeconds);

// Appends to `archive` a complete ZIP archive holding `content` as its one
// entry named `entryName`: local header (version needed 2.0, no flags,
// deflate, no extra field, modified at `stamp`), the raw deflated data
// (level 9), one central directory entry and the end record, with no
// comment. Offsets in the archive count from its own first byte, wherever it
// lands in `archive`. Returns false (leaving `archive` as it was) when the
// name or the data is too large for a plain ZIP archive or deflate fails.
bool AppendZipArchive(std::string_view entryName, const uint8_t* content, size_t contentSize,
                      std::vector<uint8_t>* archive, DosTimestamp stamp = kZipFixedTimestamp);
