// read-attached PROGRAM.exe OUT.IMG
//
// Finds the archive attached to a program the way the program itself does
// (the first local-header signature at or after byte 5120, so program data
// may come first), unpacks its first entry with the archive reader and writes
// the image to OUT.IMG. Prints the entry's name and the unpacked file name.
// For checking a built program on the host.
#include <cstdio>
#include <vector>

#include "source/image_checks.h"
#include "source/zip_reader.h"

namespace {

constexpr size_t kScanStart = 5120;

bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    bytes->clear();
    uint8_t buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes->insert(bytes->end(), buffer, buffer + got);
    }
    bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

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
    size_t start = kScanStart;
    while (start + 4 <= program.size() && !(program[start] == 'P' && program[start + 1] == 'K' &&
                                            program[start + 2] == 3 && program[start + 3] == 4)) {
        ++start;
    }
    if (start + 4 > program.size()) {
        std::fprintf(stderr, "read-attached: %s: no local-header signature after byte %zu\n", argv[1], kScanStart);
        return 1;
    }
    const uint8_t* archive = program.data() + start;
    size_t archiveSize = program.size() - start;

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
    std::FILE* out = std::fopen(argv[2], "wb");
    bool written = out != nullptr && std::fwrite(image.data(), 1, image.size(), out) == image.size();
    if (out != nullptr && std::fclose(out) != 0)
        written = false;
    if (!written) {
        std::fprintf(stderr, "read-attached: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("entry %s, unpacked as %s, %zu leading bytes\n", entry.name.c_str(),
                UnpackedImageName(entry.name).c_str(), entry.leadingBytes);
    return 0;
}
