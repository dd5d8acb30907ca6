// What the first bytes of an image file say about it.
#pragma once

#include <cstddef>
#include <cstdint>

enum class SourceVerdict {
    Bootable,    // a full 512-byte boot sector ending 0x55 0xAA
    ZipArchive,  // begins "PK": an archive, not an image
    GzipArchive,  // a gzip stream: a packed image, perhaps
    NotBootable,
    TooShort,    // a boot sector read, but the file is now shorter than one
    Trimmed,     // a bootable image without its trailing zeros: written padded
};

// Classifies the first `count` bytes (at most 512 are looked at) of a file.
SourceVerdict ClassifySourceHead(const unsigned char* head, size_t count);

// Classifies an image file from its first bytes and its whole 64-bit size: a
// bootable file shorter than the image that will be written is Trimmed.
SourceVerdict ClassifySourceFile(const unsigned char* head, size_t count, uint64_t fileSize);
