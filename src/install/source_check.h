// What the first bytes of an image file say about it.
#pragma once

#include <cstddef>

enum class SourceVerdict {
    Bootable,    // a full 512-byte boot sector ending 0x55 0xAA
    ZipArchive,  // begins "PK": an archive, not an image
    NotBootable,
};

// Classifies the first `count` bytes (at most 512 are looked at) of a file.
SourceVerdict ClassifySourceHead(const unsigned char* head, size_t count);
