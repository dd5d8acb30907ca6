#include "attached_image.h"

#include <windows.h>

#include <string.h>

#include "write/write_loop.h"
#include "source/pe_overlay.h"
#include "source/zip_reader.h"
#include "wide_files.h"

namespace {

const DWORD kMaxProgramSize = 64u << 20;

}  // namespace

std::string ReadAttachedImage(const std::string& program, uint8_t* image) {
    std::vector<uint8_t> file;
    if (!ReadFileBytes(program, kMaxProgramSize, &file))
        return "cannot read " + program;
    const uint8_t* bytes = file.data();
    const size_t size = file.size();
    // As the program finds it: the archive ends before a signature.
    const PeOverlayEnd overlay = FindPeOverlayEnd(bytes, size);
    const size_t end = FindZipArchiveEnd(bytes, overlay.archiveEnd, overlay.padding);
    ZipEntry entry;
    ZipStatus status = ReadFirstZipEntry(bytes, end, kWriteImageSize, &entry);
    if (status == ZipStatus::Ok)
        status = InflateZipEntry(bytes, end, entry, image, kWriteImageSize);
    if (status != ZipStatus::Ok)
        return std::string("the program carries no image to write: ") + DescribeZipStatus(status);
    return "";
}

namespace {

// Whether the file's version resource names it the program, under whatever
// file name it was given: only such a file is read whole. A Downloads folder
// holds many programs.
bool NamedTheProgram(const std::string& path) {
    const std::wstring wide = Wide(path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &ignored);
    if (size == 0 || size > (1u << 20))
        return false;
    std::vector<uint8_t> block(size);
    if (!GetFileVersionInfoW(wide.c_str(), 0, size, block.data()))
        return false;
    for (const wchar_t* key : {L"\\StringFileInfo\\040904E4\\ProductName", L"\\StringFileInfo\\041304E4\\ProductName"}) {
        wchar_t* name = nullptr;
        UINT length = 0;
        if (VerQueryValueW(block.data(), key, (void**)&name, &length) && name && length > 0 &&
            wcscmp(name, L"TalvixOS Disk Writer") == 0)
            return true;
    }
    return false;
}

// The archive's first entry is there as the program would find it, and the
// file is made for 32-bit Windows (its PE header's machine is x86).
bool LooksAtProgram(const std::string& path, bool* is32Bit) {
    std::vector<uint8_t> file;
    if (!NamedTheProgram(path) || !ReadFileBytes(path, kMaxProgramSize, &file))
        return false;
    const uint8_t* bytes = file.data();
    const size_t size = file.size();
    uint32_t header = 0;
    if (size >= 0x40)
        memcpy(&header, bytes + 0x3C, 4);
    *is32Bit = header < size && size - header >= 6 && memcmp(bytes + header, "PE\0\0", 4) == 0 &&
               bytes[header + 4] == 0x4C && bytes[header + 5] == 0x01;
    const PeOverlayEnd overlay = FindPeOverlayEnd(bytes, size);
    const size_t end = FindZipArchiveEnd(bytes, overlay.archiveEnd, overlay.padding);
    ZipEntry entry;
    return ReadFirstZipEntry(bytes, end, kWriteImageSize, &entry) == ZipStatus::Ok;
}

}  // namespace

std::vector<ProgramSeen> ProgramsBeside(const std::string& folder, const std::string& self) {
    std::vector<ProgramSeen> seen;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Wide(folder + "*.exe").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return seen;
    do {
        const std::string name = Utf8(found.cFileName), path = folder + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || CompareStringOrdinal(Wide(path).c_str(), -1,
            Wide(self).c_str(), -1, TRUE) == CSTR_EQUAL || seen.size() >= 256)
            continue;
        ProgramSeen program = {name, false, false};
        program.carriesImage = LooksAtProgram(path, &program.is32Bit);
        seen.push_back(program);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return seen;
}
