// Checks that an image file is a 1.44 MB floppy image we can attach and write.
#pragma once

#include <cstddef>
#include <cstdint>

// 2,880 sectors of 512 bytes.
constexpr size_t kFloppyImageSize = 1474560;

// The smallest image: its boot sector. Many images are trimmed of the zeros
// at their end; written, they are padded with zeros to kFloppyImageSize.
constexpr size_t kBootSectorSize = 512;

enum class ImageStatus {
    Ok = 0,
    WrongSize,        // fewer than kBootSectorSize or more than kFloppyImageSize bytes
    NoBootSignature,  // bytes 510 and 511 are not 0x55 0xAA
};

// Checks the size and the boot-sector signature of an image in memory: a
// whole image, or one trimmed of its trailing zeros.
ImageStatus CheckFloppyImage(const uint8_t* data, size_t size);

// One English line (no line feed) for an image status.
const char* DescribeImageStatus(ImageStatus status);
