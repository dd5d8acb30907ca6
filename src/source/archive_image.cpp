#include "source/archive_image.h"

#include <zlib.h>

#include <cstring>
#include <string_view>

#include "source/zip_reader.h"

namespace {

constexpr size_t kBootSignatureEnd = 512;

bool HasBootSignature(const uint8_t* sector) {
    return sector[510] == 0x55 && sector[511] == 0xAA;
}

bool IsImageSize(size_t size) {
    return size >= kSmallestArchivedImage && size <= kLargestArchivedImage;
}

// Appends `text` to `names` (after ", " when it holds one already), shown
// without any folder part and with every byte outside printable ASCII as '?';
// a list that does not fit ends in "...".
void AddName(char (&names)[kArchiveNamesSize], std::string_view text) {
    const size_t slash = text.find_last_of("/\\");
    if (slash != std::string_view::npos)
        text.remove_prefix(slash + 1);
    size_t used = strlen(names);
    const size_t room = kArchiveNamesSize - 4;  // "..." and the terminator
    if (used > 0 && used + 2 < room) {
        memcpy(names + used, ", ", 2);
        used += 2;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (used >= room) {
            memcpy(names + used, "...", 4);
            return;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        names[used++] = c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    names[used] = '\0';
}

// Inflates into `room` bytes of `out`, never more: until they are full, the
// stream ends, or it fails. Returns inflate's last result.
int InflateInto(z_stream* stream, uint8_t* out, uInt room) {
    stream->next_out = out;
    stream->avail_out = room;
    int result = Z_OK;
    while (result == Z_OK && stream->avail_out > 0)
        result = inflate(stream, Z_NO_FLUSH);
    return result;
}

// Inflates the first sector of a deflated entry; false when the data ends or
// is damaged before that.
bool InflateHead(const uint8_t* in, size_t inSize, uint8_t* head) {
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = static_cast<uInt>(inSize);
    InflateInto(&stream, head, kBootSignatureEnd);
    const bool whole = stream.avail_out == 0;
    inflateEnd(&stream);
    return whole;
}

// The worse of two reasons for finding no image: what blocks the reading of
// an entry says more than "no image".
ArchiveVerdict Worse(ArchiveVerdict noted, ZipStatus status) {
    if (noted != ArchiveVerdict::Ok)
        return noted;
    switch (status) {
        case ZipStatus::Encrypted:
            return ArchiveVerdict::Encrypted;
        case ZipStatus::UnsupportedMethod:
            return ArchiveVerdict::Unsupported;
        default:
            return ArchiveVerdict::Damaged;
    }
}

ArchiveVerdict FromZipStatus(ZipStatus status) {
    switch (status) {
        case ZipStatus::Ok:
            return ArchiveVerdict::Ok;
        case ZipStatus::SpannedArchive:
            return ArchiveVerdict::Spanned;
        case ZipStatus::NoEntries:
            return ArchiveVerdict::NoImage;
        case ZipStatus::OutOfMemory:
            return ArchiveVerdict::OutOfMemory;
        default:
            return ArchiveVerdict::Damaged;
    }
}

// Every entry of image size whose first sector ends in the boot signature is
// an image; entries of other sizes (a README, a licence, a folder, an entry
// that claims gigabytes) are passed over unread.
ArchiveImage UnpackZip(const uint8_t* data, size_t size, uint8_t* out, size_t outSize) {
    ArchiveImage found;
    ZipDirectory directory;
    ZipStatus status = ReadZipDirectory(data, size, &directory);
    if (status != ZipStatus::Ok) {
        found.verdict = FromZipStatus(status);
        return found;
    }
    ArchiveVerdict unreadable = ArchiveVerdict::Ok;
    ZipEntry chosen;
    char others[kArchiveNamesSize] = {};
    size_t position = directory.position;
    for (unsigned i = 0; i < directory.entries; ++i) {
        ZipEntry entry;
        status = ReadZipEntryAt(data, directory, &position, &entry);
        if (status == ZipStatus::BadCentralHeader) {
            found.verdict = ArchiveVerdict::Damaged;
            return found;
        }
        if (!IsImageSize(entry.uncompressedSize))
            continue;
        uint8_t head[kBootSignatureEnd];
        if (status == ZipStatus::Ok && entry.method == kZipMethodStored)
            memcpy(head, data + entry.dataOffset, sizeof head);
        else if (status == ZipStatus::Ok && !InflateHead(data + entry.dataOffset, entry.compressedSize, head))
            status = ZipStatus::CorruptData;
        if (status != ZipStatus::Ok) {
            unreadable = Worse(unreadable, status);
            continue;
        }
        if (!HasBootSignature(head))
            continue;
        if (++found.images == 1) {
            chosen = entry;
            AddName(found.name, entry.name);
        }
        AddName(others, entry.name);
    }
    if (found.images != 1) {
        found.verdict = found.images == 0 ? (unreadable != ArchiveVerdict::Ok ? unreadable : ArchiveVerdict::NoImage)
                                          : ArchiveVerdict::SeveralImages;
        if (found.images > 1)
            memcpy(found.name, others, sizeof others);
        return found;
    }
    found.verdict = FromZipStatus(InflateZipEntry(data, size, chosen, out, outSize));
    found.size = chosen.uncompressedSize;
    return found;
}

// The gzip stream holds one file: the image, or nothing we write.
ArchiveImage UnpackGzip(const uint8_t* data, size_t size, uint8_t* out) {
    ArchiveImage found;
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    if (size > UINT32_MAX || inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
        found.verdict = size > UINT32_MAX ? ArchiveVerdict::Damaged : ArchiveVerdict::OutOfMemory;
        return found;
    }
    char name[kArchiveNamesSize] = {};
    gz_header header;
    memset(&header, 0, sizeof header);
    header.name = reinterpret_cast<Bytef*>(name);
    header.name_max = sizeof name - 1;
    inflateGetHeader(&stream, &header);
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    int result = InflateInto(&stream, out, kLargestArchivedImage);
    bool tooLong = false;
    if (result == Z_OK) {
        // The image's room is full: the stream must end without one byte more.
        uint8_t spare = 0;
        result = InflateInto(&stream, &spare, 1);
        tooLong = stream.avail_out == 0;
    }
    const size_t produced = tooLong ? kLargestArchivedImage + 1 : stream.total_out;
    // Bytes after the stream: zeros that pad it are harmless, anything else
    // (a second stream, another file) is not the one image.
    bool trailing = false;
    for (uInt i = 0; result == Z_STREAM_END && i < stream.avail_in; ++i)
        trailing = trailing || stream.next_in[i] != 0;
    inflateEnd(&stream);

    if (tooLong) {
        found.verdict = ArchiveVerdict::NoImage;
    } else if (result == Z_MEM_ERROR) {
        found.verdict = ArchiveVerdict::OutOfMemory;
    } else if (result != Z_STREAM_END || trailing) {
        found.verdict = ArchiveVerdict::Damaged;
    } else if (!IsImageSize(produced) || !HasBootSignature(out)) {
        found.verdict = ArchiveVerdict::NoImage;
    } else {
        found.verdict = ArchiveVerdict::Ok;
        found.size = produced;
        found.images = 1;
        AddName(found.name, name);
    }
    return found;
}

}  // namespace

ArchiveKind ArchiveKindOf(const uint8_t* head, size_t count) {
    if (count >= 2 && head[0] == 'P' && head[1] == 'K')
        return ArchiveKind::Zip;
    if (count >= 2 && head[0] == 0x1F && head[1] == 0x8B)
        return ArchiveKind::Gzip;
    return ArchiveKind::None;
}

ArchiveImage UnpackArchiveImage(ArchiveKind kind, const uint8_t* data, size_t size, uint8_t* out, size_t outSize) {
    ArchiveImage found;
    if (data == nullptr || out == nullptr || outSize < kLargestArchivedImage)
        return found;
    if (kind == ArchiveKind::Zip)
        return UnpackZip(data, size, out, outSize);
    if (kind == ArchiveKind::Gzip)
        return UnpackGzip(data, size, out);
    found.verdict = ArchiveVerdict::NoImage;
    return found;
}

const char* DescribeArchiveVerdict(ArchiveVerdict verdict) {
    switch (verdict) {
        case ArchiveVerdict::Ok:
            return "The archive holds one floppy image.";
        case ArchiveVerdict::NoImage:
            return "The archive holds no floppy image.";
        case ArchiveVerdict::SeveralImages:
            return "The archive holds more than one floppy image.";
        case ArchiveVerdict::Encrypted:
            return "The archive is encrypted.";
        case ArchiveVerdict::Spanned:
            return "The archive is split over several files.";
        case ArchiveVerdict::Unsupported:
            return "The archive uses a compression method that cannot be unpacked here.";
        case ArchiveVerdict::Damaged:
            return "The archive is damaged.";
        case ArchiveVerdict::OutOfMemory:
            return "Not enough memory to unpack the archive.";
    }
    return "Unknown archive error.";
}
