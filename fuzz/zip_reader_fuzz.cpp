// libFuzzer target: any bytes as the temporary archive, read and unpacked as
// the program does with the attached image. Besides crashes and sanitizer
// reports, it traps when an accepted entry breaks what the reader promises.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "source/image_checks.h"
#include "source/zip_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZipEntry entry;
    ZipStatus status = ReadFirstZipEntry(data, size, kFloppyImageSize, &entry);
    if (DescribeZipStatus(status)[0] == '\0')
        __builtin_trap();
    if (status != ZipStatus::Ok)
        return 0;

    if (entry.uncompressedSize != kFloppyImageSize)
        __builtin_trap();
    if (CheckZipEntryName(entry.name) != ZipStatus::Ok)
        __builtin_trap();
    if (UnpackedImageName(entry.name).size() > kMaxUnpackedNameLength)
        __builtin_trap();
    if (entry.dataOffset > size || entry.compressedSize > size - entry.dataOffset) {
        __builtin_trap();
    }

    // Exactly the declared size on the heap, so any write past it is reported.
    std::unique_ptr<uint8_t[]> image(new uint8_t[entry.uncompressedSize]);
    status = InflateZipEntry(data, size, entry, image.get(), entry.uncompressedSize);
    if (DescribeZipStatus(status)[0] == '\0')
        __builtin_trap();
    return 0;
}
