#include "source/image_checks.h"

ImageStatus CheckFloppyImage(const uint8_t* data, size_t size) {
    if (data == nullptr || size < kBootSectorSize || size > kFloppyImageSize)
        return ImageStatus::WrongSize;
    if (data[510] != 0x55 || data[511] != 0xAA)
        return ImageStatus::NoBootSignature;
    return ImageStatus::Ok;
}

const char* DescribeImageStatus(ImageStatus status) {
    switch (status) {
        case ImageStatus::Ok:
            return "The image is a 1.44 MB floppy image, or the start of one.";
        case ImageStatus::WrongSize:
            return "The image is not between 512 and 1,474,560 bytes long.";
        case ImageStatus::NoBootSignature:
            return "The image's boot sector does not end in 0x55 0xAA.";
    }
    return "Unknown image error.";
}
