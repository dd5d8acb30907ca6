// attach-image PROGRAM.exe IMAGE OUT.exe
//
// Writes OUT.exe: the bytes of PROGRAM.exe (the 64-bit or the 32-bit
// program; it says which) followed by a ZIP archive that holds IMAGE, under
// its own file name, as the archive's one entry. This is how the shipped
// program carries its default floppy image. An image trimmed
// of its trailing zeros is padded with zeros to a whole diskette first, so
// that the program always finds 1,474,560 bytes. The SHA-256 of the image as
// attached goes to standard output, for the distributor to publish.
//
// The archive's entry is dated SOURCE_DATE_EPOCH when that is set, else a
// fixed date, so that a build never depends on when it ran. A signed
// PROGRAM.exe is refused: its signature would not cover the image, and
// Windows would find the certificate table no longer at the file's end.
// Attach to the unsigned program, then sign the result. A program that
// already carries an image gets the new one in its place, and is told so: a
// second archive behind the first would never be read.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "host_files.h"
#include "pe_imports.h"
#include "source/file_names.h"
#include "source/image_checks.h"
#include "source/pe_overlay.h"
#include "source/sha256.h"
#include "source/zip_reader.h"
#include "source/zip_writer.h"
#include "text/number_text.h"

namespace {

constexpr uint16_t kEnglish = 0x09;  // LANG_ENGLISH: the tool speaks English

// The file-name part of a path, with either kind of separator.
std::string_view BaseName(std::string_view path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The archive's time: SOURCE_DATE_EPOCH (seconds since 1970) when set and
// not empty, else the fixed time. False when the variable is no number.
bool ArchiveTimestamp(DosTimestamp* stamp) {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch == nullptr || *epoch == '\0') {
        *stamp = kZipFixedTimestamp;
        return true;
    }
    // Digits only: strtoll alone would take a sign or leading blanks too.
    if (*epoch < '0' || *epoch > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    const long long seconds = std::strtoll(epoch, &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    *stamp = DosTimestampFromUnix(seconds);
    return true;
}

// Takes an archive attached earlier off the program's bytes; says so.
void RemoveAttachedArchive(const char* programPath, std::vector<uint8_t>* program) {
    ZipDirectory directory;
    if (ReadZipDirectory(program->data(), program->size(), &directory) != ZipStatus::Ok)
        return;
    ZipEntry entry;
    size_t position = directory.position;
    ReadZipEntryAt(program->data(), directory, &position, &entry);
    std::printf("%s already carries an image (%.*s): it is replaced.\n", programPath,
                static_cast<int>(entry.name.size()), entry.name.data());
    program->resize(directory.leadingBytes);
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
    if (image.size() < kFloppyImageSize) {
        char size[kGroupedNumberSize];
        char zeros[kGroupedNumberSize];
        FormatGroupedNumber(image.size(), kEnglish, size);
        FormatGroupedNumber(kFloppyImageSize - image.size(), kEnglish, zeros);
        std::printf("%s is %s bytes; padded with %s zero bytes to a whole diskette of 1,474,560 bytes.\n", imagePath,
                    size, zeros);
        image.resize(kFloppyImageSize, 0);
    }
    Sha256Digest digest;
    char hex[kSha256HexSize];
    if (!Sha256Of(image.data(), image.size(), &digest)) {
        std::fprintf(stderr, "attach-image: cannot compute the SHA-256 of %s\n", imagePath);
        return 1;
    }
    FormatSha256(digest, hex);
    DosTimestamp stamp;
    if (!ArchiveTimestamp(&stamp)) {
        std::fprintf(stderr, "attach-image: SOURCE_DATE_EPOCH is not a number of seconds since 1970\n");
        return 1;
    }
    std::vector<uint8_t> out;
    if (!ReadWholeFile(programPath, &out)) {
        std::fprintf(stderr, "attach-image: cannot read %s\n", programPath);
        return 1;
    }
    const PeCertificates certificates = FindPeOverlayEnd(out.data(), out.size()).certificates;
    if (certificates == PeCertificates::Signed) {
        std::fprintf(stderr,
                     "attach-image: %s is signed: the signature would not cover the attached image. "
                     "Attach the image to the unsigned program, then sign the result.\n",
                     programPath);
        return 1;
    }
    if (certificates == PeCertificates::Damaged) {
        std::fprintf(stderr,
                     "attach-image: %s: its certificate-table entry is damaged; "
                     "attach the image to the program as the build made it.\n",
                     programPath);
        return 1;
    }
    RemoveAttachedArchive(programPath, &out);
    // Both programs carry the image the same way; say which one this is,
    // so that a 64-bit image is not shipped in the 32-bit program unawares.
    const uint16_t machine = ReadPeImports(out.data(), out.size()).machine;
    std::printf("Attaching to %s, a %s program.\n", programPath, MachineName(machine));
    if (!AppendZipArchive(name, image.data(), image.size(), &out, stamp)) {
        std::fprintf(stderr, "attach-image: cannot compress %s\n", imagePath);
        return 1;
    }
    if (!WriteWholeFile(outPath, out.data(), out.size())) {
        std::fprintf(stderr, "attach-image: cannot write %s\n", outPath);
        return 1;
    }
    std::printf("SHA-256 of %.*s as attached: %s\n", static_cast<int>(name.size()), name.data(), hex);
    return 0;
}
