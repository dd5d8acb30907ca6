#include "source/zip_writer.h"

#include <zlib.h>

#include <cstring>

namespace {

constexpr uint16_t kVersion20 = 20;
constexpr uint16_t kMethodDeflate = 8;

void Put16(std::vector<uint8_t>* out, uint32_t value) {
    out->push_back(static_cast<uint8_t>(value));
    out->push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>* out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void PutBytes(std::vector<uint8_t>* out, const void* bytes, size_t length) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    out->insert(out->end(), p, p + length);
}

// Raw deflate (no zlib header), as ZIP stores it.
bool DeflateRaw(const uint8_t* content, size_t size, std::vector<uint8_t>* packed) {
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
        return false;
    }
    packed->resize(deflateBound(&stream, static_cast<uLong>(size)));
    stream.next_in = const_cast<Bytef*>(content);
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = packed->data();
    stream.avail_out = static_cast<uInt>(packed->size());
    int result = deflate(&stream, Z_FINISH);
    packed->resize(stream.total_out);
    deflateEnd(&stream);
    return result == Z_STREAM_END;
}

// The fields that the local header and the central entry share, from
// "version needed" to the name length.
void PutCommonFields(std::vector<uint8_t>* out, DosTimestamp stamp, uint32_t crc, uint32_t packedSize, uint32_t size,
                     uint16_t nameLength) {
    Put16(out, kVersion20);  // version needed to extract
    Put16(out, 0);           // flags: no encryption, no data descriptor
    Put16(out, kMethodDeflate);
    Put16(out, stamp.time);
    Put16(out, stamp.date);
    Put32(out, crc);
    Put32(out, packedSize);
    Put32(out, size);
    Put16(out, nameLength);
    Put16(out, 0);  // extra field length
}

}  // namespace

DosTimestamp DosTimestampFromUnix(int64_t unixSeconds) {
    constexpr int64_t kFirst = 315532800;  // 1980-01-01 00:00:00
    constexpr int64_t kLast = 4354819199;  // 2107-12-31 23:59:59
    const int64_t t = unixSeconds < kFirst ? kFirst : unixSeconds > kLast ? kLast : unixSeconds;
    const int64_t seconds = t % 86400;
    // Days since 1970 to a civil date: Howard Hinnant's civil_from_days.
    const int64_t z = t / 86400 + 719468;
    const int64_t era = z / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    DosTimestamp stamp;
    stamp.time = static_cast<uint16_t>((seconds / 3600) << 11 | (seconds / 60 % 60) << 5 | (seconds % 60) / 2);
    stamp.date = static_cast<uint16_t>((year - 1980) << 9 | month << 5 | day);
    return stamp;
}

bool AppendZipArchive(std::string_view entryName, const uint8_t* content, size_t contentSize,
                      std::vector<uint8_t>* archive, DosTimestamp stamp) {
    // Beyond these a plain (non-ZIP64) archive cannot describe the entry.
    if (entryName.empty() || entryName.size() > 0xFFFF)
        return false;
    if (contentSize > 0xFFFFFFFEu || (content == nullptr && contentSize != 0))
        return false;

    std::vector<uint8_t> packed;
    if (!DeflateRaw(content, contentSize, &packed) || packed.size() > 0xFFFFFFFEu)
        return false;
    uLong crc = crc32(0L, Z_NULL, 0);
    if (contentSize != 0)
        crc = crc32(crc, content, static_cast<uInt>(contentSize));

    const uint32_t size = static_cast<uint32_t>(contentSize);
    const uint32_t packedSize = static_cast<uint32_t>(packed.size());
    const uint16_t nameLength = static_cast<uint16_t>(entryName.size());
    std::vector<uint8_t> out;

    Put32(&out, 0x04034B50);  // local file header
    PutCommonFields(&out, stamp, static_cast<uint32_t>(crc), packedSize, size, nameLength);
    PutBytes(&out, entryName.data(), nameLength);
    PutBytes(&out, packed.data(), packed.size());

    uint64_t cdOffset = out.size();
    if (cdOffset > 0xFFFFFFFEu)
        return false;
    Put32(&out, 0x02014B50);  // central directory entry
    Put16(&out, kVersion20);  // version made by: 2.0, MS-DOS attributes
    PutCommonFields(&out, stamp, static_cast<uint32_t>(crc), packedSize, size, nameLength);
    Put16(&out, 0);  // comment length
    Put16(&out, 0);  // disk number start
    Put16(&out, 0);  // internal attributes
    Put32(&out, 0);  // external attributes
    Put32(&out, 0);  // local header offset: the archive's first byte
    PutBytes(&out, entryName.data(), nameLength);
    uint32_t cdSize = static_cast<uint32_t>(out.size() - cdOffset);

    Put32(&out, 0x06054B50);  // end of central directory
    Put16(&out, 0);           // this disk
    Put16(&out, 0);           // disk with the central directory
    Put16(&out, 1);           // entries on this disk
    Put16(&out, 1);           // entries in total
    Put32(&out, cdSize);
    Put32(&out, static_cast<uint32_t>(cdOffset));
    Put16(&out, 0);  // comment length

    archive->insert(archive->end(), out.begin(), out.end());
    return true;
}
