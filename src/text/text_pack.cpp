#include "text/text_pack.h"

#include <zlib.h>

#include "text/packed_texts.h"

namespace {

constexpr uint16_t kStringTableType = 6;  // RT_STRING

uint32_t Dword(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

uint16_t Word(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

void PutWord(std::vector<uint8_t>* out, uint32_t value) {
    out->push_back(static_cast<uint8_t>(value));
    out->push_back(static_cast<uint8_t>(value >> 8));
}

// A resource's type or name in its header, from `at` (below `end`): a number
// (0xFFFF then the number) or a NUL-terminated UTF-16 name, which is -1 here.
// Moves `at` past it; false when it runs past `end`.
bool ReadOrdinal(const std::vector<uint8_t>& res, size_t end, size_t* at, int32_t* ordinal) {
    if (end - *at < 2)
        return false;
    if (Word(res, *at) == 0xFFFF) {
        if (end - *at < 4)
            return false;
        *ordinal = Word(res, *at + 2);
        *at += 4;
        return true;
    }
    *ordinal = -1;
    for (; end - *at >= 2; *at += 2)
        if (Word(res, *at) == 0) {
            *at += 2;
            return true;
        }
    return false;
}

bool Deflate(const std::vector<uint8_t>& texts, std::vector<uint8_t>* packed) {
    z_stream stream = {};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    std::vector<uint8_t> out(4 + deflateBound(&stream, static_cast<uLong>(texts.size())));
    stream.next_in = const_cast<Bytef*>(texts.data());
    stream.avail_in = static_cast<uInt>(texts.size());
    stream.next_out = out.data() + 4;
    stream.avail_out = static_cast<uInt>(out.size() - 4);
    const bool done = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    out.resize(4 + stream.total_out);
    deflateEnd(&stream);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(texts.size() >> (8 * i));
    *packed = std::move(out);
    return done;
}

}  // namespace

bool PackStringTables(const std::vector<uint8_t>& res, std::vector<uint8_t>* packed, std::string* error) {
    std::vector<uint8_t> texts;
    for (size_t at = 0; at < res.size();) {
        if (res.size() - at < 8) {
            *error = "a resource header is cut short";
            return false;
        }
        const uint32_t dataSize = Dword(res, at), headerSize = Dword(res, at + 4);
        // Type, name, then (4-byte aligned) 16 bytes of which the language is
        // the 7th and 8th.
        if (headerSize < 8 + 2 + 2 + 16 || headerSize > res.size() - at || dataSize > res.size() - at - headerSize) {
            *error = "a resource runs past the end of the file";
            return false;
        }
        const size_t headerEnd = at + headerSize;
        size_t field = at + 8;
        int32_t type = 0, name = 0;
        if (!ReadOrdinal(res, headerEnd, &field, &type) || !ReadOrdinal(res, headerEnd, &field, &name) ||
            headerEnd - field < 16) {
            *error = "a resource's type or name runs past its header";
            return false;
        }
        const uint16_t language = Word(res, headerEnd - 10);
        const size_t data = headerEnd;
        if (type == kStringTableType && dataSize > 0) {
            if (name <= 0 || dataSize % 2 != 0 || dataSize / 2 > 0xFFFF) {
                *error = "a string table block is not numbered or not whole";
                return false;
            }
            PutWord(&texts, language);
            PutWord(&texts, static_cast<uint32_t>(name));
            PutWord(&texts, dataSize / 2);
            texts.insert(texts.end(), res.begin() + static_cast<ptrdiff_t>(data),
                         res.begin() + static_cast<ptrdiff_t>(data + dataSize));
        }
        at = (data + dataSize + 3) & ~size_t(3);
    }
    if (texts.empty()) {
        *error = "no string table";
        return false;
    }
    if (texts.size() > kMaxPackedTextsSize) {
        *error = "the string tables are larger than the program takes";
        return false;
    }
    if (!Deflate(texts, packed)) {
        *error = "deflate failed";
        return false;
    }
    return true;
}
