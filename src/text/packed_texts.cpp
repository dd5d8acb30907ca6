#include "text/packed_texts.h"

#include <zlib.h>

namespace {

constexpr size_t kSizeBytes = 4;
constexpr size_t kBlockHead = 6;  // language, number, units

uint16_t Word(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

}  // namespace

size_t PackedTextsSize(const uint8_t* packed, size_t size) {
    if (packed == nullptr || size <= kSizeBytes)
        return 0;
    const size_t announced = size_t(packed[0]) | size_t(packed[1]) << 8 | size_t(packed[2]) << 16 |
                             size_t(packed[3]) << 24;
    return announced <= kMaxPackedTextsSize && announced % 2 == 0 ? announced : 0;
}

bool InflatePackedTexts(const uint8_t* packed, size_t size, uint8_t* out, size_t outSize) {
    if (outSize == 0 || PackedTextsSize(packed, size) != outSize || size - kSizeBytes > UINT32_MAX)
        return false;
    z_stream stream = {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    stream.next_in = const_cast<Bytef*>(packed + kSizeBytes);
    stream.avail_in = static_cast<uInt>(size - kSizeBytes);
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(outSize);
    const int result = inflate(&stream, Z_FINISH);
    const bool whole = result == Z_STREAM_END && stream.avail_out == 0 && stream.avail_in == 0;
    inflateEnd(&stream);
    return whole;
}

CatalogueBlock FindPackedBlock(const uint8_t* texts, size_t size, uint16_t language, unsigned number) {
    for (size_t at = 0; texts != nullptr && size - at >= kBlockHead;) {
        const size_t bytes = size_t(Word(texts + at + 4)) * 2;
        if (size - at - kBlockHead < bytes)
            break;
        if (Word(texts + at) == language && Word(texts + at + 2) == number)
            return {reinterpret_cast<const uint16_t*>(texts + at + kBlockHead), bytes / 2};
        at += kBlockHead + bytes;
    }
    return {nullptr, 0};
}
