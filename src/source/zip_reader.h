// Reads the one-entry ZIP archive that is attached to the program's file.
//
// The reader works on the bytes of the archive held in memory. Those bytes may
// start with arbitrary leading bytes before the archive's first local header
// (the attached archive is found by a plain signature scan, which can stop
// early on program data); every offset stored in the archive counts from the
// archive's own first local header. Every length and offset in the archive is
// checked against the bytes we actually have before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Why an archive was refused; each has its own line from DescribeZipStatus.
enum class ZipStatus {
    Ok = 0,
    NoEndRecord,     // no end-of-central-directory record near the end
    SpannedArchive,  // multi-disk archive
    NoEntries,       // the archive lists no entry
    CentralDirectoryOutOfBounds,
    BadCentralHeader,  // first central entry truncated or without signature
    LocalHeaderOutOfBounds,
    BadLocalHeader,   // no signature, or disagrees with the central entry
    DataOutOfBounds,  // compressed bytes run past the archive's data
    Encrypted,
    UnsupportedMethod,  // neither deflate (8) nor stored (0)
    NameEmpty,
    NameTooLong,
    NameHasPath,         // '/', '\\', ':' or a "." / ".." name
    NameBadCharacter,    // control or wildcard characters, trailing dot/space
    NameReservedDevice,  // CON, NUL, COM1, ... (a device, not a file, on Windows)
    WrongDeclaredSize,   // uncompressed size is not the expected image size
    StoredSizeMismatch,  // stored entry whose two sizes differ
    OutputTooSmall,      // caller's buffer cannot hold the declared size
    CorruptData,         // deflate stream is invalid or ends early
    DataTooLong,         // inflates to more than the declared size
    DataTooShort,        // inflates to less than the declared size
    CrcMismatch,
    OutOfMemory,
};

// The longest file name we unpack to (".IMG" included when it is appended);
// the limit of one path component on Windows.
constexpr size_t kMaxUnpackedNameLength = 255;

// ZIP compression methods that we can unpack.
constexpr uint16_t kZipMethodStored = 0;
constexpr uint16_t kZipMethodDeflate = 8;

// The first entry of an archive, as its central directory describes it.
struct ZipEntry {
    std::string_view name;  // as stored in the archive, already checked; points into its bytes
    uint16_t flags = 0;   // general-purpose bit flags
    uint16_t method = 0;  // kZipMethodStored or kZipMethodDeflate
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    size_t leadingBytes = 0;  // bytes before the archive's first local header
    size_t localOffset = 0;   // of the local header, from the archive's first one
    size_t dataOffset = 0;    // position of the entry's data in the given bytes
};

// Finds the end record, the first central-directory entry and its local
// header in `data`, and checks the entry: not encrypted, stored or deflated,
// a safe plain file name, and an uncompressed size of exactly `expectedSize`.
// Fills `entry` and returns ZipStatus::Ok, or returns why the archive is
// refused (then `entry` is left in an unspecified state).
ZipStatus ReadFirstZipEntry(const uint8_t* data, size_t size, uint32_t expectedSize, ZipEntry* entry);

// Where an archive's central directory lies in the given bytes.
struct ZipDirectory {
    size_t position = 0;  // of its first entry
    size_t end = 0;       // where the end record begins
    size_t leadingBytes = 0;
    uint16_t entries = 0;
};

// Finds the end record and the central directory it describes; refuses a
// spanned archive and one without entries.
ZipStatus ReadZipDirectory(const uint8_t* data, size_t size, ZipDirectory* directory);

// Reads the central entry at `*position` of `directory` and moves
// `*position` on to the next one. Ok when the entry can be unpacked: not
// encrypted, stored or deflated, its local header and data where they
// should be. The name is not judged. BadCentralHeader means no entry
// follows; after any other status `*position` has moved on and the entry's
// sizes and name are filled.
ZipStatus ReadZipEntryAt(const uint8_t* data, const ZipDirectory& directory, size_t* position, ZipEntry* entry);

// Unpacks `entry` (from ReadFirstZipEntry on the same bytes) into `out`, which
// must hold at least entry.uncompressedSize bytes; never writes more than
// that. Returns Ok only when the data inflates to exactly the declared size
// and its CRC-32 matches.
ZipStatus InflateZipEntry(const uint8_t* data, size_t size, const ZipEntry& entry, uint8_t* out, size_t outSize);

// Where an archive that ends at most `maxPadding` zero bytes before `end`
// really ends: the end of the end record (and its comment) found there,
// nearest to `end` first. Returns `end` when there is none, so that reading
// the archive then says why. A signing tool aligns its certificate table on
// 8 bytes and pads with zeros, so an archive attached before a signature may
// end up to 7 bytes before the table.
size_t FindZipArchiveEnd(const uint8_t* data, size_t end, size_t maxPadding);

// One English line (no line feed) saying why an archive was refused.
const char* DescribeZipStatus(ZipStatus status);

// A file name of at most kMaxUnpackedNameLength characters. `length` is the
// whole name's length, also when the text had to stop short of it.
struct UnpackedName {
    char text[kMaxUnpackedNameLength + 1];
    size_t length;
    const char* c_str() const { return text; }
    size_t size() const { return length; }
};

// The name the unpacked image gets: the entry name, with ".IMG" appended
// when the name has no '.'.
UnpackedName UnpackedImageName(std::string_view entryName);

// Checks an entry name for use as a file name in the temporary folder.
// Returns Ok or one of the Name* statuses.
ZipStatus CheckZipEntryName(std::string_view name);
