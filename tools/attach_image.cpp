// attach-image PROGRAM.exe IMAGE OUT.exe
//
// Writes OUT.exe: the bytes of PROGRAM.exe followed by a ZIP archive that
// holds IMAGE, under its own file name, as the archive's one entry. This is
// how the shipped program carries its default floppy image.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "host_files.h"
#include "source/image_checks.h"
#include "source/zip_writer.h"

namespace {

// The file-name part of a path, with either kind of separator.
std::string_view BaseName(std::string_view path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: attach-image PROGRAM.exe IMAGE OUT.exe\n");
        return 2;
    }
    const char* programPath = argv[1];
    const char* imagePath = argv[2];
    const char* outPath = argv[3];

    // The entry name becomes the unpacked file's name on the user's machine.
    std::string_view name = BaseName(imagePath);
    if (!IsPlainDosFileName(name)) {
        std::fprintf(stderr, "attach-image: %s: the image name is not a plain 8.3 file name\n", imagePath);
        return 1;
    }
    std::vector<uint8_t> image;
    if (!ReadWholeFile(imagePath, &image)) {
        std::fprintf(stderr, "attach-image: cannot read %s\n", imagePath);
        return 1;
    }
    ImageStatus imageStatus = CheckFloppyImage(image.data(), image.size());
    if (imageStatus != ImageStatus::Ok) {
        std::fprintf(stderr, "attach-image: %s: %s\n", imagePath, DescribeImageStatus(imageStatus));
        return 1;
    }
    std::vector<uint8_t> out;
    if (!ReadWholeFile(programPath, &out)) {
        std::fprintf(stderr, "attach-image: cannot read %s\n", programPath);
        return 1;
    }
    if (!AppendZipArchive(name, image.data(), image.size(), &out)) {
        std::fprintf(stderr, "attach-image: cannot compress %s\n", imagePath);
        return 1;
    }
    if (!WriteWholeFile(outPath, out.data(), out.size())) {
        std::fprintf(stderr, "attach-image: cannot write %s\n", outPath);
        return 1;
    }
    return 0;
}
