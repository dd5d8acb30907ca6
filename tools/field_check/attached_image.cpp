#include "attached_image.h"

#include <windows.h>

#include <string.h>

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

namespace {

// The archive's first entry is there as the program would find it, and the
// file is made for 32-bit Windows (its PE header's machine is x86).
bool LooksAtProgram(const std::string& path, bool* is32Bit) {
    DWORD size = 0;
    unsigned char* bytes = ReadWholeFile(path.c_str(), kMaxProgramSize, &size);
    if (bytes == nullptr)
        return false;
    uint32_t header = 0;
    if (size >= 0x40)
        memcpy(&header, bytes + 0x3C, 4);
    *is32Bit = header < size && size - header >= 6 && memcmp(bytes + header, "PE\0\0", 4) == 0 &&
               bytes[header + 4] == 0x4C && bytes[header + 5] == 0x01;
    const PeOverlayEnd overlay = FindPeOverlayEnd(bytes, size);
    const size_t end = FindZipArchiveEnd(bytes, overlay.archiveEnd, overlay.padding);
    ZipEntry entry;
    const bool carries = ReadFirstZipEntry(bytes, end, kWriteImageSize, &entry) == ZipStatus::Ok;
    LocalFree(bytes);
    return carries;
}

}  // namespace

std::vector<ProgramSeen> ProgramsBeside(const std::string& folder, const std::string& self) {
    std::vector<ProgramSeen> seen;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.exe").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return seen;
    do {
        const std::string path = folder + found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || _stricmp(path.c_str(), self.c_str()) == 0 ||
            seen.size() >= 256)
            continue;
        ProgramSeen program = {found.cFileName, false, false};
        program.carriesImage = LooksAtProgram(path, &program.is32Bit);
        seen.push_back(program);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return seen;
}
