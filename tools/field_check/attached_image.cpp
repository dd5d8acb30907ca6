#include "attached_image.h"

#include <windows.h>

#include "write/write_loop.h"
#include "source/file_io.h"
#include "source/pe_overlay.h"
#include "source/zip_reader.h"

namespace {

const DWORD kMaxProgramSize = 64u << 20;

}  // namespace

std::string ReadAttachedImage(const std::string& program, uint8_t* image) {
    DWORD size = 0;
    unsigned char* bytes = ReadWholeFile(program.c_str(), kMaxProgramSize, &size);
    if (bytes == nullptr)
        return "cannot read " + program;
    // As the program finds it: the archive ends before a signature.
    const PeOverlayEnd overlay = FindPeOverlayEnd(bytes, size);
    const size_t end = FindZipArchiveEnd(bytes, overlay.archiveEnd, overlay.padding);
    ZipEntry entry;
    ZipStatus status = ReadFirstZipEntry(bytes, end, kWriteImageSize, &entry);
    if (status == ZipStatus::Ok)
        status = InflateZipEntry(bytes, end, entry, image, kWriteImageSize);
    LocalFree(bytes);
    if (status != ZipStatus::Ok)
        return std::string("the program carries no image to write: ") + DescribeZipStatus(status);
    return "";
}
