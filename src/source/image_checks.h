// Checks that an image file is a 1.44 MB floppy image we can attach and write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

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

// True for a plain DOS 8.3 file name without any folder part: 1 to 8
// characters, optionally a '.' and 1 to 3 more, each from A-Z, a-z, 0-9 and
// _-~!#$%&'(){}^@` , and not a device name such as CON or COM1.
bool IsPlainDosFileName(std::string_view name);

// True when Windows would open `name` as a device rather than a file: CON,
// PRN, AUX, NUL, COM1-9 or LPT1-9, in any case, with or without an extension.
bool IsWindowsDeviceName(std::string_view name);

// The file-name part of a Windows path: what follows its last backslash.
const char* FileNamePart(const char* path);
