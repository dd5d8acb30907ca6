#include "install/source_check.h"

#include "write/write_loop.h"

SourceVerdict ClassifySourceHead(const unsigned char* head, size_t count) {
    // An archive's header first: its packed bytes may hold 0x55 0xAA anywhere.
    if (count >= 4 && head[0] == 'P' && head[1] == 'K' && ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6)))
        return SourceVerdict::ZipArchive;
    if (count >= 3 && head[0] == 0x1F && head[1] == 0x8B && head[2] == 8)
        return SourceVerdict::GzipArchive;
    // The signature test comes first: a boot sector may well begin "PK".
    if (count >= 512 && head[510] == 0x55 && head[511] == 0xAA)
        return SourceVerdict::Bootable;
    if (count >= 2 && head[0] == 'P' && head[1] == 'K')
        return SourceVerdict::ZipArchive;
    return SourceVerdict::NotBootable;
}

SourceVerdict ClassifySourceFile(const unsigned char* head, size_t count, uint64_t fileSize) {
    const SourceVerdict verdict = ClassifySourceHead(head, count);
    if (verdict != SourceVerdict::Bootable || fileSize >= kWriteImageSize)
        return verdict;
    // The writer pads a short file with zeros, but never writes less than
    // the boot sector it was judged by.
    return fileSize < kWriteSectorSize ? SourceVerdict::TooShort : SourceVerdict::Trimmed;
}
