// libFuzzer target: any bytes as the program's file: where its overlay ends
// (before a certificate table, when the PE headers name one), then the
// archive up to there, read and unpacked as the program does with the
// attached image; and the same bytes as a published ZIP or gzip archive
// chosen as the image to write. Besides crashes and sanitizer reports, it traps when an
// answer breaks what the readers promise.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "source/archive_image.h"
#include "source/image_checks.h"
#include "source/pe_overlay.h"
#include "source/zip_reader.h"

namespace {

// An archive's one image is an image, and its names are one bounded text.
void UnpackAsChosenFile(const uint8_t* file, size_t fileSize) {
    static uint8_t* const out = new uint8_t[kLargestArchivedImage];
    for (ArchiveKind kind : {ArchiveKind::Zip, ArchiveKind::Gzip}) {
        const ArchiveImage found = UnpackArchiveImage(kind, file, fileSize, out, kLargestArchivedImage);
        if (std::memchr(found.name, 0, sizeof found.name) == nullptr)
            __builtin_trap();
        if (found.verdict == ArchiveVerdict::Ok &&
            (found.images != 1 || found.size < kSmallestArchivedImage || found.size > kLargestArchivedImage ||
             out[510] != 0x55 || out[511] != 0xAA))
            __builtin_trap();
        if (found.verdict == ArchiveVerdict::SeveralImages && found.images < 2)
            __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* file, size_t fileSize) {
    UnpackAsChosenFile(file, fileSize);
    const PeOverlayEnd overlay = FindPeOverlayEnd(file, fileSize);
    if (overlay.archiveEnd > fileSize || overlay.certificateSize > fileSize - overlay.archiveEnd)
        __builtin_trap();
    if (overlay.certificates != PeCertificates::Signed && overlay.archiveEnd != fileSize)
        __builtin_trap();
    const size_t size = FindZipArchiveEnd(file, overlay.archiveEnd, overlay.padding);
    if (size > overlay.archiveEnd || overlay.archiveEnd - size > overlay.padding)
        __builtin_trap();
    // The archive in a block of its own size, so that a read past its end
    // (into the certificate table) is reported too.
    std::unique_ptr<uint8_t[]> copy;
    const uint8_t* data = file;
    if (size != fileSize) {
        copy.reset(new uint8_t[size]);
        std::memcpy(copy.get(), file, size);
        data = copy.get();
    }

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
