#include "write/gpt_backup.h"

#include <cstring>

namespace {

constexpr char kSignature[8] = {'E', 'F', 'I', ' ', 'P', 'A', 'R', 'T'};
constexpr uint32_t kSmallestHeader = 92;
constexpr size_t kHeaderSizeAt = 12;
constexpr size_t kHeaderCrcAt = 16;
constexpr size_t kAlternateLbaAt = 32;
// The four partition entries of an MBR, and the type of the one entry that
// covers a GPT disk.
constexpr size_t kMbrEntriesAt = 446;
constexpr uint8_t kProtectiveType = 0xEE;

uint64_t Get(const uint8_t* in, size_t bytes) {
    uint64_t value = 0;
    for (size_t i = 0; i < bytes; ++i)
        value |= uint64_t(in[i]) << (8 * i);
    return value;
}

bool HasProtectiveMbr(const uint8_t* first) {
    if (first[510] != 0x55 || first[511] != 0xAA)
        return false;
    for (size_t entry = 0; entry < 4; ++entry)
        if (first[kMbrEntriesAt + entry * 16 + 4] == kProtectiveType)
            return true;
    return false;
}

}  // namespace

uint32_t GptCrc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

bool IsGptHeader(const uint8_t* sector, uint32_t sectorSize) {
    if (sector == nullptr || sectorSize < 512 || memcmp(sector, kSignature, sizeof(kSignature)) != 0)
        return false;
    const uint64_t size = Get(sector + kHeaderSizeAt, 4);
    if (size < kSmallestHeader || size > sectorSize)
        return false;
    uint8_t header[4096];
    if (size > sizeof(header))
        return false;
    memcpy(header, sector, size_t(size));
    memset(header + kHeaderCrcAt, 0, 4);
    return GptCrc32(header, size_t(size)) == uint32_t(Get(sector + kHeaderCrcAt, 4));
}

bool IsBackupGpt(const uint8_t* first, const uint8_t* second, const uint8_t* last, uint32_t sectorSize,
                 uint64_t lastLba) {
    if (IsGptHeader(last, sectorSize))
        return true;
    // A header left in the second sector by an earlier layout names a sector
    // of today's partitions: only a disk that is GPT now is taken at its word.
    return first != nullptr && HasProtectiveMbr(first) && IsGptHeader(second, sectorSize) &&
           Get(second + kAlternateLbaAt, 8) == lastLba;
}
