#include "source/zip_reader.h"

#include "source/file_names.h"

#include <zlib.h>

#include <cstring>

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEndRecordSignature = 0x06054B50;

constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kMaxCommentLength = 0xFFFF;

// Bit 0: traditional encryption; bit 6: strong encryption; bit 13: encrypted
// central directory. Any of them means we cannot read the data.
constexpr uint16_t kEncryptionFlags = (1u << 0) | (1u << 6) | (1u << 13);

uint16_t Read16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// True when [offset, offset + length) lies inside [0, limit), without overflow.
bool Fits(size_t offset, size_t length, size_t limit) {
    return offset <= limit && length <= limit - offset;
}

// Scans back from the end for the end record. The record is normally the
// last 22 bytes; a comment may follow it, and then its length field must say
// exactly how many bytes follow, which keeps a stray signature in the data
// from being taken for the record.
bool FindEndRecord(const uint8_t* data, size_t size, size_t* position) {
    if (size < kEndRecordSize)
        return false;
    size_t last = size - kEndRecordSize;
    size_t first = last > kMaxCommentLength ? last - kMaxCommentLength : 0;
    for (size_t p = last + 1; p-- > first;) {
        if (Read32(data + p) != kEndRecordSignature)
            continue;
        if (Read16(data + p + 20) == last - p) {
            *position = p;
            return true;
        }
    }
    return false;
}

// The central entry at `cdPosition`: its fixed part and its variable fields
// lie inside the directory. Sets `next` to where the following entry begins.
ZipStatus ReadCentralHeader(const uint8_t* data, size_t cdPosition, size_t cdEnd, size_t leadingBytes,
                            ZipEntry* entry, size_t* next) {
    if (!Fits(cdPosition, kCentralHeaderSize, cdEnd))
        return ZipStatus::BadCentralHeader;
    const uint8_t* c = data + cdPosition;
    if (Read32(c) != kCentralHeaderSignature)
        return ZipStatus::BadCentralHeader;
    size_t nameLength = Read16(c + 28);
    size_t variableLength = nameLength + Read16(c + 30) + Read16(c + 32);
    if (!Fits(cdPosition + kCentralHeaderSize, variableLength, cdEnd)) {
        return ZipStatus::BadCentralHeader;
    }
    *next = cdPosition + kCentralHeaderSize + variableLength;
    entry->flags = Read16(c + 8);
    entry->method = Read16(c + 10);
    entry->crc32 = Read32(c + 16);
    entry->compressedSize = Read32(c + 20);
    entry->uncompressedSize = Read32(c + 24);
    entry->leadingBytes = leadingBytes;
    entry->localOffset = Read32(c + 42);
    entry->name = std::string_view(reinterpret_cast<const char*>(c + kCentralHeaderSize), nameLength);
    return ZipStatus::Ok;
}

// Checks an entry read by ReadCentralHeader against the local header it
// points to, which lies, with the entry's data, before the directory.
ZipStatus ReadLocalHeader(const uint8_t* data, size_t cdPosition, ZipEntry* entry) {
    if (entry->flags & kEncryptionFlags)
        return ZipStatus::Encrypted;
    if (entry->method != kZipMethodDeflate && entry->method != kZipMethodStored) {
        return ZipStatus::UnsupportedMethod;
    }
    const size_t leadingBytes = entry->leadingBytes;
    const size_t localOffset = entry->localOffset;
    if (localOffset > cdPosition - leadingBytes)
        return ZipStatus::LocalHeaderOutOfBounds;
    size_t local = leadingBytes + localOffset;
    if (!Fits(local, kLocalHeaderSize, cdPosition))
        return ZipStatus::LocalHeaderOutOfBounds;
    const uint8_t* l = data + local;
    if (Read32(l) != kLocalHeaderSignature)
        return ZipStatus::BadLocalHeader;
    size_t localNameLength = Read16(l + 26);
    size_t localExtraLength = Read16(l + 28);
    if (!Fits(local + kLocalHeaderSize, localNameLength + localExtraLength, cdPosition)) {
        return ZipStatus::LocalHeaderOutOfBounds;
    }
    // Sizes and CRC may be zero here (data descriptor); the central entry rules.
    // The method, the encryption bits and the name must agree.
    if ((Read16(l + 6) & kEncryptionFlags) != 0)
        return ZipStatus::Encrypted;
    if (Read16(l + 8) != entry->method)
        return ZipStatus::BadLocalHeader;
    const size_t nameLength = entry->name.size();
    if (localNameLength != nameLength || std::memcmp(l + kLocalHeaderSize, entry->name.data(), nameLength) != 0) {
        return ZipStatus::BadLocalHeader;
    }

    entry->dataOffset = local + kLocalHeaderSize + localNameLength + localExtraLength;
    if (!Fits(entry->dataOffset, entry->compressedSize, cdPosition)) {
        return ZipStatus::DataOutOfBounds;
    }
    if (entry->method == kZipMethodStored && entry->compressedSize != entry->uncompressedSize)
        return ZipStatus::StoredSizeMismatch;
    return ZipStatus::Ok;
}

// Inflates raw deflate data into exactly `expected` bytes of `out`.
ZipStatus InflateRaw(const uint8_t* in, size_t inSize, uint8_t* out, size_t expected) {
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return ZipStatus::OutOfMemory;
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = static_cast<uInt>(inSize);
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(expected);

    ZipStatus status = ZipStatus::Ok;
    int result = Z_OK;
    while (result == Z_OK && stream.avail_out > 0) {
        result = inflate(&stream, Z_NO_FLUSH);
    }
    if (result == Z_OK && stream.avail_out == 0) {
        // The buffer is full; the stream must end without giving one byte more.
        uint8_t spare = 0;
        stream.next_out = &spare;
        stream.avail_out = 1;
        do {
            result = inflate(&stream, Z_NO_FLUSH);
        } while (result == Z_OK && stream.avail_out == 1);
        if (stream.avail_out == 0) {
            status = ZipStatus::DataTooLong;
        } else if (result != Z_STREAM_END) {
            status = result == Z_MEM_ERROR ? ZipStatus::OutOfMemory : ZipStatus::CorruptData;
        }
    } else if (result == Z_STREAM_END) {
        status = stream.total_out < expected ? ZipStatus::DataTooShort : ZipStatus::Ok;
    } else if (result == Z_MEM_ERROR) {
        status = ZipStatus::OutOfMemory;
    } else {
        // Z_DATA_ERROR, or Z_BUF_ERROR: the compressed bytes ran out mid-stream.
        status = ZipStatus::CorruptData;
    }
    inflateEnd(&stream);
    return status;
}

}  // namespace

ZipStatus CheckZipEntryName(std::string_view name) {
    if (name.empty())
        return ZipStatus::NameEmpty;
    if (UnpackedImageName(name).size() > kMaxUnpackedNameLength)
        return ZipStatus::NameTooLong;
    // One plain file name in the temporary folder: no folders, no drive.
    if (name.find_first_of("/\\:") != std::string_view::npos)
        return ZipStatus::NameHasPath;
    if (name == "." || name == "..")
        return ZipStatus::NameHasPath;
    for (char ch : name) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || std::strchr("<>\"|?*", ch) != nullptr) {
            return ZipStatus::NameBadCharacter;
        }
    }
    // Windows drops a trailing dot or space, so the file would get another name.
    if (name.back() == '.' || name.back() == ' ')
        return ZipStatus::NameBadCharacter;
    if (IsWindowsDeviceName(name))
        return ZipStatus::NameReservedDevice;
    return ZipStatus::Ok;
}

size_t FindZipArchiveEnd(const uint8_t* data, size_t end, size_t maxPadding) {
    if (data == nullptr)
        return end;
    size_t position = 0;
    for (size_t padding = 0; padding <= maxPadding && padding <= end; ++padding) {
        if (padding > 0 && data[end - padding] != 0)
            break;
        if (FindEndRecord(data, end - padding, &position))
            return end - padding;
    }
    return end;
}

ZipStatus ReadZipDirectory(const uint8_t* data, size_t size, ZipDirectory* directory) {
    size_t end = 0;
    if (data == nullptr || !FindEndRecord(data, size, &end))
        return ZipStatus::NoEndRecord;
    const uint8_t* e = data + end;
    uint16_t diskNumber = Read16(e + 4);
    uint16_t centralDisk = Read16(e + 6);
    uint16_t entriesHere = Read16(e + 8);
    uint16_t entriesTotal = Read16(e + 10);
    size_t cdSize = Read32(e + 12);
    size_t cdOffset = Read32(e + 16);
    if (diskNumber != 0 || centralDisk != 0 || entriesHere != entriesTotal) {
        return ZipStatus::SpannedArchive;
    }
    if (entriesTotal == 0)
        return ZipStatus::NoEntries;

    // The central directory ends where the end record begins; the difference
    // between where it really is and where the archive says it is, is the
    // number of bytes before the archive's first local header.
    if (cdSize > end)
        return ZipStatus::CentralDirectoryOutOfBounds;
    size_t cdPosition = end - cdSize;
    if (cdOffset > cdPosition)
        return ZipStatus::CentralDirectoryOutOfBounds;
    directory->position = cdPosition;
    directory->end = end;
    directory->leadingBytes = cdPosition - cdOffset;
    directory->entries = entriesTotal;
    return ZipStatus::Ok;
}

ZipStatus ReadZipEntryAt(const uint8_t* data, const ZipDirectory& directory, size_t* position, ZipEntry* entry) {
    ZipStatus status = ReadCentralHeader(data, *position, directory.end, directory.leadingBytes, entry, position);
    return status != ZipStatus::Ok ? status : ReadLocalHeader(data, directory.position, entry);
}

ZipStatus ReadFirstZipEntry(const uint8_t* data, size_t size, uint32_t expectedSize, ZipEntry* entry) {
    ZipDirectory directory;
    ZipStatus status = ReadZipDirectory(data, size, &directory);
    if (status != ZipStatus::Ok)
        return status;
    size_t next = directory.position;
    status = ReadCentralHeader(data, directory.position, directory.end, directory.leadingBytes, entry, &next);
    if (status != ZipStatus::Ok)
        return status;
    // Only the attached archive's entry becomes a file: its name must suit one.
    if (entry->flags & kEncryptionFlags)
        return ZipStatus::Encrypted;
    if (entry->method != kZipMethodDeflate && entry->method != kZipMethodStored)
        return ZipStatus::UnsupportedMethod;
    status = CheckZipEntryName(entry->name);
    if (status != ZipStatus::Ok)
        return status;
    status = ReadLocalHeader(data, directory.position, entry);
    if (status == ZipStatus::StoredSizeMismatch && entry->uncompressedSize != expectedSize)
        return ZipStatus::WrongDeclaredSize;
    if (status != ZipStatus::Ok)
        return status;
    if (entry->uncompressedSize != expectedSize)
        return ZipStatus::WrongDeclaredSize;
    return ZipStatus::Ok;
}

ZipStatus InflateZipEntry(const uint8_t* data, size_t size, const ZipEntry& entry, uint8_t* out, size_t outSize) {
    // The entry comes from ReadFirstZipEntry, but check again rather than trust it.
    if (data == nullptr || !Fits(entry.dataOffset, entry.compressedSize, size)) {
        return ZipStatus::DataOutOfBounds;
    }
    if (out == nullptr || outSize < entry.uncompressedSize)
        return ZipStatus::OutputTooSmall;
    const uint8_t* in = data + entry.dataOffset;

    if (entry.method == kZipMethodStored) {
        if (entry.compressedSize != entry.uncompressedSize)
            return ZipStatus::StoredSizeMismatch;
        std::memcpy(out, in, entry.uncompressedSize);
    } else if (entry.method == kZipMethodDeflate) {
        ZipStatus status = InflateRaw(in, entry.compressedSize, out, entry.uncompressedSize);
        if (status != ZipStatus::Ok)
            return status;
    } else {
        return ZipStatus::UnsupportedMethod;
    }

    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, out, static_cast<uInt>(entry.uncompressedSize));
    if (crc != entry.crc32)
        return ZipStatus::CrcMismatch;
    return ZipStatus::Ok;
}

UnpackedName UnpackedImageName(std::string_view entryName) {
    UnpackedName name{};
    const std::string_view suffix = entryName.find('.') == std::string_view::npos ? ".IMG" : "";
    name.length = entryName.size() + suffix.size();
    size_t used = 0;
    for (const std::string_view part : {entryName, suffix})
        for (size_t i = 0; i < part.size() && used < kMaxUnpackedNameLength; ++i)
            name.text[used++] = part[i];
    name.text[used] = '\0';
    return name;
}

const char* DescribeZipStatus(ZipStatus status) {
    switch (status) {
        case ZipStatus::Ok:
            return "The archive is valid.";
        case ZipStatus::NoEndRecord:
            return "No ZIP end-of-central-directory record was found.";
        case ZipStatus::SpannedArchive:
            return "The archive spans several disks.";
        case ZipStatus::NoEntries:
            return "The archive holds no entries.";
        case ZipStatus::CentralDirectoryOutOfBounds:
            return "The archive's central directory lies outside the file.";
        case ZipStatus::BadCentralHeader:
            return "The archive's central directory entry is damaged.";
        case ZipStatus::LocalHeaderOutOfBounds:
            return "The archive entry's local header lies outside the file.";
        case ZipStatus::BadLocalHeader:
            return "The archive entry's local header is damaged or disagrees with the directory.";
        case ZipStatus::DataOutOfBounds:
            return "The archive entry's data lies outside the file.";
        case ZipStatus::Encrypted:
            return "The archive entry is encrypted.";
        case ZipStatus::UnsupportedMethod:
            return "The archive entry uses a compression method other than deflate or stored.";
        case ZipStatus::NameEmpty:
            return "The archive entry has no name.";
        case ZipStatus::NameTooLong:
            return "The archive entry's name is too long.";
        case ZipStatus::NameHasPath:
            return "The archive entry's name contains a folder or drive part.";
        case ZipStatus::NameBadCharacter:
            return "The archive entry's name contains characters not allowed in a file name.";
        case ZipStatus::NameReservedDevice:
            return "The archive entry's name is a device name.";
        case ZipStatus::WrongDeclaredSize:
            return "The archive entry does not have the size of a floppy image.";
        case ZipStatus::StoredSizeMismatch:
            return "The archive entry is stored but its two sizes differ.";
        case ZipStatus::OutputTooSmall:
            return "The buffer for the unpacked image is too small.";
        case ZipStatus::CorruptData:
            return "The archive entry's compressed data is damaged.";
        case ZipStatus::DataTooLong:
            return "The archive entry unpacks to more than its declared size.";
        case ZipStatus::DataTooShort:
            return "The archive entry unpacks to less than its declared size.";
        case ZipStatus::CrcMismatch:
            return "The unpacked image does not match its CRC-32.";
        case ZipStatus::OutOfMemory:
            return "Not enough memory to unpack the archive entry.";
    }
    return "Unknown archive error.";
}
