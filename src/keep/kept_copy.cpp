#include "keep/kept_copy.h"

#include <cinttypes>
#include <cstdio>
#include <algorithm>
#include <cstring>

namespace {

constexpr char kMagic[8] = {'T', 'D', 'W', 'K', 'E', 'P', 'T', '1'};

// Field offsets in the header; all numbers little-endian.
constexpr size_t kLetterAt = 8;
constexpr size_t kDiskKnownAt = 9;
constexpr size_t kDiskNumberAt = 12;
constexpr size_t kDiskLengthAt = 16;
constexpr size_t kKeptAtAt = 24;
constexpr size_t kTailOffsetAt = 32;
constexpr size_t kTailSizeAt = 40;
constexpr size_t kKeptHashAt = 48;
constexpr size_t kImageHashAt = 80;
constexpr size_t kFirstSectorHashAt = 112;
constexpr size_t kTailHashAt = 144;
constexpr size_t kVolumeAt = 176;
constexpr size_t kVendorAt = kVolumeAt + sizeof(KeptDevice::volume);
constexpr size_t kProductAt = kVendorAt + sizeof(KeptDevice::vendor);
constexpr size_t kSerialAt = kProductAt + sizeof(KeptDevice::product);
// In the first sector with the fields a proven write changes in place.
constexpr size_t kWrittenAtAt = kSerialAt + sizeof(KeptDevice::serial);
constexpr size_t kMarkAt = 512;
constexpr size_t kFingerprintAt = 520;
static_assert(kWrittenAtAt + 8 <= kMarkAt, "what a proven write changes lies in the first sector");
static_assert(kFingerprintAt + 32 <= kKeptHeaderSize, "the header holds every field");

void Put(uint8_t* out, uint64_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i)
        out[i] = uint8_t(value >> (8 * i));
}

uint64_t Get(const uint8_t* in, size_t bytes) {
    uint64_t value = 0;
    for (size_t i = 0; i < bytes; ++i)
        value |= uint64_t(in[i]) << (8 * i);
    return value;
}

// Copies a text field out of the file, which must end within its room.
template <size_t N>
bool GetText(const uint8_t* in, char (&text)[N]) {
    if (memchr(in, '\0', N) == nullptr)
        return false;
    memcpy(text, in, N);
    return true;
}

template <size_t N>
void PutText(uint8_t* out, const char (&text)[N]) {
    memcpy(out, text, N);
    out[N - 1] = '\0';
}

bool Same(const char* a, const char* b) {
    return strcmp(a, b) == 0;
}

}  // namespace

void WriteKeptHeader(const KeptCopyHeader& header, uint8_t* out) {
    memset(out, 0, kKeptHeaderSize);
    memcpy(out, kMagic, sizeof(kMagic));
    const KeptDevice& device = header.device;
    out[kLetterAt] = uint8_t(device.letter);
    out[kDiskKnownAt] = device.diskKnown ? 1 : 0;
    Put(out + kDiskNumberAt, device.diskNumber, 4);
    Put(out + kDiskLengthAt, device.diskLength, 8);
    Put(out + kKeptAtAt, header.keptAt, 8);
    Put(out + kWrittenAtAt, header.writtenAt, 8);
    Put(out + kTailOffsetAt, header.tailOffset, 8);
    Put(out + kTailSizeAt, header.tailSize, 4);
    memcpy(out + kKeptHashAt, header.keptSha256, 32);
    memcpy(out + kImageHashAt, header.imageSha256, 32);
    memcpy(out + kFirstSectorHashAt, header.firstSectorSha256, 32);
    memcpy(out + kTailHashAt, header.tailSha256, 32);
    PutText(out + kVolumeAt, device.volume);
    PutText(out + kVendorAt, device.vendor);
    PutText(out + kProductAt, device.product);
    PutText(out + kSerialAt, device.serial);
    out[kMarkAt] = uint8_t(header.mark);
    memcpy(out + kFingerprintAt, header.fingerprint, 32);
}

bool ReadKeptHeader(const uint8_t* bytes, size_t size, KeptCopyHeader* header) {
    *header = KeptCopyHeader{};
    if (bytes == nullptr || size < kKeptHeaderSize || memcmp(bytes, kMagic, sizeof(kMagic)) != 0)
        return false;
    KeptDevice& device = header->device;
    device.letter = char(bytes[kLetterAt]);
    device.diskKnown = bytes[kDiskKnownAt] != 0;
    device.diskNumber = uint32_t(Get(bytes + kDiskNumberAt, 4));
    device.diskLength = Get(bytes + kDiskLengthAt, 8);
    header->keptAt = Get(bytes + kKeptAtAt, 8);
    header->writtenAt = Get(bytes + kWrittenAtAt, 8);
    header->tailOffset = Get(bytes + kTailOffsetAt, 8);
    header->tailSize = uint32_t(Get(bytes + kTailSizeAt, 4));
    memcpy(header->keptSha256, bytes + kKeptHashAt, 32);
    memcpy(header->imageSha256, bytes + kImageHashAt, 32);
    memcpy(header->firstSectorSha256, bytes + kFirstSectorHashAt, 32);
    memcpy(header->tailSha256, bytes + kTailHashAt, 32);
    if (bytes[kMarkAt] > kLastMediumMark)
        return false;
    header->mark = MediumMark(bytes[kMarkAt]);
    memcpy(header->fingerprint, bytes + kFingerprintAt, 32);
    if (!GetText(bytes + kVolumeAt, device.volume) || !GetText(bytes + kVendorAt, device.vendor) ||
        !GetText(bytes + kProductAt, device.product) || !GetText(bytes + kSerialAt, device.serial))
        return false;
    // A tail goes back past the image, on a whole sector of the sizes a
    // drive may have, and nowhere else.
    if (header->tailSize != 0) {
        const uint32_t tail = header->tailSize;
        const bool sector = tail >= 512 && tail <= kMaxKeptTailSize && (tail & (tail - 1)) == 0;
        if (!sector || header->tailOffset < kWriteImageSize || header->tailOffset % tail != 0)
            return false;
    } else if (header->tailOffset != 0) {
        return false;
    }
    return true;
}

uint64_t KeptFileSize(const KeptCopyHeader& header) {
    return uint64_t(kKeptHeaderSize) + kWriteImageSize + header.tailSize;
}

bool IsKeptDevice(const KeptDevice& kept, const KeptDevice& now) {
    const bool keptSerial = kept.serial[0] != '\0';
    const bool nowSerial = now.serial[0] != '\0';
    // The same device answers the same way each time it is asked.
    if (keptSerial != nowSerial)
        return false;
    const bool lengthsAgree = kept.diskLength == 0 || now.diskLength == 0 || kept.diskLength == now.diskLength;
    if (keptSerial)
        return Same(kept.vendor, now.vendor) && Same(kept.product, now.product) && Same(kept.serial, now.serial) &&
               lengthsAgree;
    // Without a serial the disk number is all that survives a write (the
    // volume on it is new afterwards), so the letter must agree as well.
    if (kept.letter == 0 || kept.letter != now.letter || kept.diskKnown != now.diskKnown)
        return false;
    if (kept.diskKnown)
        return kept.diskNumber == now.diskNumber && kept.diskLength == now.diskLength;
    return kept.volume[0] != '\0' && Same(kept.volume, now.volume);
}

KeptDevice KeptDeviceOf(const TargetIdentity& identity) {
    KeptDevice device{};
    device.letter = identity.letter;
    snprintf(device.volume, sizeof(device.volume), "%s", identity.volume.text);
    device.diskKnown = identity.target.diskKnown;
    device.diskNumber = identity.target.diskNumber;
    device.diskLength = identity.disk.length;
    snprintf(device.vendor, sizeof(device.vendor), "%s", identity.device.vendor);
    snprintf(device.product, sizeof(device.product), "%s", identity.device.product);
    snprintf(device.serial, sizeof(device.serial), "%s", identity.device.serial);
    return device;
}

void KeptCopyName(uint64_t keptAt, unsigned attempt, char* name, size_t capacity) {
    snprintf(name, capacity, "kept-%016" PRIx64 ".tdwcopy", keptAt + attempt);
}

namespace {

// "<prefix>" 16 lower-case hex digits "<suffix>", nothing else.
bool IsNumberedName(const char* name, const char* prefix, const char* suffix) {
    const size_t front = strlen(prefix);
    if (name == nullptr || strlen(name) != front + 16 + strlen(suffix) || strncmp(name, prefix, front) != 0 ||
        strcmp(name + front + 16, suffix) != 0)
        return false;
    for (size_t i = front; i < front + 16; ++i)
        if (!((name[i] >= '0' && name[i] <= '9') || (name[i] >= 'a' && name[i] <= 'f')))
            return false;
    return true;
}

}  // namespace

bool IsKeptCopyName(const char* name) {
    return IsNumberedName(name, "kept-", ".tdwcopy");
}

void WriteRecordName(uint64_t startedAt, unsigned attempt, char* name, size_t capacity) {
    snprintf(name, capacity, "writing-%016" PRIx64 ".tdwmark", startedAt + attempt);
}

bool IsWriteRecordName(const char* name) {
    return IsNumberedName(name, "writing-", ".tdwmark");
}

bool IsKeptMedium(const KeptCopyHeader& kept, const KeptCopyHeader& now) {
    if (!IsKeptDevice(kept.device, now.device))
        return false;
    switch (kept.mark) {
        case MediumMark::Unknown:
            return false;
        case MediumMark::NoneToTake:
        case MediumMark::Untold:
            return now.mark == kept.mark;
        case MediumMark::Blank:
            return now.mark == MediumMark::Blank && now.fingerprint[0] == kept.fingerprint[0];
        case MediumMark::Fingerprint:
            return now.mark == MediumMark::Fingerprint && memcmp(kept.fingerprint, now.fingerprint, 32) == 0;
    }
    return false;
}
