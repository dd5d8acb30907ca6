// Finds the floppy image inside an archive as images are published: a ZIP
// archive holding the image beside a README or a licence, or a gzipped
// image. Works on the archive's bytes in memory and unpacks into memory only;
// no entry is inflated past one byte more than a floppy image, so an archive
// that unpacks to gigabytes is refused after a megabyte and a half.
#pragma once

#include <cstddef>
#include <cstdint>

enum class ArchiveKind {
    None,  // not an archive we read: a raw image, or anything else
    Zip,
    Gzip,
};

// What the first `count` bytes of a file say about its kind.
ArchiveKind ArchiveKindOf(const uint8_t* head, size_t count);

enum class ArchiveVerdict {
    Ok = 0,
    NoImage,        // no entry is a floppy image
    SeveralImages,  // more than one is
    Encrypted,      // an entry that may be the image is encrypted
    Spanned,        // split over several files
    Unsupported,    // an entry that may be the image uses a method we cannot unpack
    Damaged,        // headers, data or checksums do not hold together
    OutOfMemory,
};

// Room for a few names in a status line; more are cut off with "...".
constexpr size_t kArchiveNamesSize = 200;

struct ArchiveImage {
    ArchiveVerdict verdict = ArchiveVerdict::Damaged;
    size_t size = 0;  // bytes of the unpacked image
    // The image's name inside the archive (ZIP: its entry name without any
    // folder; gzip: the stored name, or empty), then, for SeveralImages, every
    // image's name, separated by ", ". Printable ASCII; other bytes become '?'.
    char name[kArchiveNamesSize] = {};
    unsigned images = 0;  // floppy images found
};

// The smallest and largest floppy image: its boot sector, and a 1.44 MB disk.
constexpr size_t kSmallestArchivedImage = 512;
constexpr size_t kLargestArchivedImage = 1474560;

// Unpacks the one floppy image (kSmallestArchivedImage to
// kLargestArchivedImage bytes, its first sector ending 0x55 0xAA) of the
// archive `data` into `out`, which must hold kLargestArchivedImage bytes;
// the bytes of `out` past the image's size are left as they were.
ArchiveImage UnpackArchiveImage(ArchiveKind kind, const uint8_t* data, size_t size, uint8_t* out, size_t outSize);

// One English line (no line feed) for a verdict.
const char* DescribeArchiveVerdict(ArchiveVerdict verdict);
