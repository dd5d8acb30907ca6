// read-attached PROGRAM.exe OUT.IMG
//
// Finds the archive attached to a program the way the program itself does
// (the first local-header signature at or after byte 5120, so program data
// may come first; the archive ends where a signature's certificate table
// begins, its padding aside, or at the file's end), unpacks its first entry with the archive
// reader and writes the image to OUT.IMG. Prints the entry's name and the unpacked file name.
// For checking a built program on the host.
#include <cstdio>
#include <vector>

#include "source/image_checks.h"
#include "host_files.h"
#include "source/pe_overlay.h"
#include "source/zip_reader.h"

namespace {

constexpr size_t kScanStart = 5120;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: read-attached PROGRAM.exe OUT.IMG\n");
        return 2;
    }
    std::vector<uint8_t> program;
    if (!ReadWholeFile(argv[1], &program)) {
        std::fprintf(stderr, "read-attached: cannot read %s\n", argv[1]);
        return 1;
    }
    const PeOverlayEnd overlay = FindPeOverlayEnd(program.data(), program.size());
    const size_t end = FindZipArchiveEnd(program.data(), overlay.archiveEnd, overlay.padding);
    size_t start = kScanStart;
    while (start + 4 <= end && !(program[start] == 'P' && program[start + 1] == 'K' && program[start + 2] == 3 &&
                                 program[start + 3] == 4)) {
        ++start;
    }
    if (start + 4 > end) {
        std::fprintf(stderr, "read-attached: %s: no local-header signature after byte %zu\n", argv[1], kScanStart);
        return 1;
    }
    const uint8_t* archive = program.data() + start;
    size_t archiveSize = end - start;

    ZipEntry entry;
    ZipStatus status = ReadFirstZipEntry(archive, archiveSize, kFloppyImageSize, &entry);
    std::vector<uint8_t> image;
    if (status == ZipStatus::Ok) {
        image.resize(entry.uncompressedSize);
        status = InflateZipEntry(archive, archiveSize, entry, image.data(), image.size());
    }
    if (status != ZipStatus::Ok) {
        std::fprintf(stderr, "read-attached: %s: %s\n", argv[1], DescribeZipStatus(status));
        return 1;
    }
    if (!WriteWholeFile(argv[2], image.data(), image.size())) {
        std::fprintf(stderr, "read-attached: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("entry %.*s, unpacked as %s, %zu leading bytes\n", static_cast<int>(entry.name.size()), entry.name.data(),
                UnpackedImageName(entry.name).c_str(), entry.leadingBytes);
    return 0;
}
