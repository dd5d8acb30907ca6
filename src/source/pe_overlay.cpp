#include "source/pe_overlay.h"

namespace {

constexpr size_t kDosHeaderSize = 64;
constexpr size_t kNewHeaderOffsetField = 0x3C;  // e_lfanew
constexpr uint32_t kPeSignature = 0x00004550;   // "PE\0\0"
constexpr size_t kFileHeaderSize = 20;          // after the PE signature
constexpr size_t kSectionHeaderSize = 40;

constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
// Where NumberOfRvaAndSizes stands in the optional header; the data
// directories follow it directly.
constexpr size_t kDirectoryCountPe32 = 92;
constexpr size_t kDirectoryCountPe32Plus = 108;
constexpr uint32_t kSecurityDirectory = 4;  // IMAGE_DIRECTORY_ENTRY_SECURITY
constexpr size_t kDirectoryEntrySize = 8;
// A certificate table holds at least one WIN_CERTIFICATE header.
constexpr uint32_t kMinCertificateSize = 8;

uint16_t Read16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// True when [offset, offset + length) lies inside [0, limit), without overflow.
bool Fits(uint64_t offset, uint64_t length, uint64_t limit) {
    return offset <= limit && length <= limit - offset;
}

// The security entry's offset and size; false when the headers are no PE
// headers we can read. `headersEnd` gets the end of the section table.
bool ReadSecurityEntry(const uint8_t* data, size_t size, uint32_t* offset, uint32_t* length, uint64_t* headersEnd) {
    if (size < kDosHeaderSize || data[0] != 'M' || data[1] != 'Z')
        return false;
    const uint64_t pe = Read32(data + kNewHeaderOffsetField);
    if (!Fits(pe, 4 + kFileHeaderSize, size) || Read32(data + pe) != kPeSignature)
        return false;
    const uint8_t* fileHeader = data + pe + 4;
    const uint64_t sectionCount = Read16(fileHeader + 2);
    const uint64_t optionalSize = Read16(fileHeader + 16);
    const uint64_t optional = pe + 4 + kFileHeaderSize;
    if (!Fits(optional, optionalSize, size) || optionalSize < 2)
        return false;
    *headersEnd = optional + optionalSize + sectionCount * kSectionHeaderSize;

    const uint16_t magic = Read16(data + optional);
    uint64_t countField = 0;
    if (magic == kMagicPe32)
        countField = kDirectoryCountPe32;
    else if (magic == kMagicPe32Plus)
        countField = kDirectoryCountPe32Plus;
    else
        return false;
    if (!Fits(countField, 4, optionalSize))
        return false;
    *offset = 0;
    *length = 0;
    // Fewer directories, or an optional header too short to hold the entry:
    // the program has no security entry at all.
    const uint64_t entry = countField + 4 + kSecurityDirectory * kDirectoryEntrySize;
    if (Read32(data + optional + countField) <= kSecurityDirectory || !Fits(entry, kDirectoryEntrySize, optionalSize))
        return true;
    *offset = Read32(data + optional + entry);
    *length = Read32(data + optional + entry + 4);
    return true;
}

}  // namespace

PeOverlayEnd FindPeOverlayEnd(const uint8_t* data, size_t size) {
    PeOverlayEnd result;
    result.archiveEnd = size;
    uint32_t offset = 0;
    uint32_t length = 0;
    uint64_t headersEnd = 0;
    if (data == nullptr || !ReadSecurityEntry(data, size, &offset, &length, &headersEnd))
        return result;
    if (offset == 0 && length == 0) {
        result.certificates = PeCertificates::Unsigned;
        return result;
    }
    // The table's offset is a file offset, not an address in memory; it
    // follows the headers and lies wholly inside the file.
    if (length < kMinCertificateSize || offset < headersEnd || !Fits(offset, length, size)) {
        result.certificates = PeCertificates::Damaged;
        return result;
    }
    result.certificates = PeCertificates::Signed;
    result.archiveEnd = offset;
    result.padding = kCertificateTablePadding;
    result.certificateSize = length;
    return result;
}
