#include "keep/volume_label.h"

#include <cstring>

namespace {

constexpr uint32_t kSector = 512;
// More of a root folder than this is not read for its label: Windows puts
// the label among its first entries.
constexpr uint32_t kRootRead = 16384;
constexpr uint8_t kAttributeLabel = 0x08;
constexpr uint8_t kAttributeFolder = 0x10;
constexpr uint8_t kLongName = 0x0F;

uint32_t Le16(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8;
}

uint32_t Le32(const uint8_t* at) {
    return Le16(at) | Le16(at + 2) << 16;
}

// Copies an 11-byte name, trailing spaces cut; false when it is blank.
bool TakeLabel(const uint8_t* name, char (&label)[kVolumeLabelSize + 1]) {
    uint32_t length = kVolumeLabelSize;
    while (length > 0 && (name[length - 1] == ' ' || name[length - 1] == 0))
        --length;
    for (uint32_t i = 0; i < length; ++i)
        if (name[i] < 0x20)
            return false;
    memcpy(label, name, length);
    label[length] = '\0';
    return length > 0;
}

struct Volume {
    uint32_t start;       // the boot sector's offset in the kept bytes
    uint32_t rootOffset;  // of the root folder (its first cluster on FAT32)
    uint32_t rootSize;
    const uint8_t* bootLabel;
};

// Reads the BIOS parameter block of the boot sector `boot` at `start`;
// false when it is no FAT boot sector.
bool ReadBootSector(const uint8_t* boot, uint32_t start, Volume* volume) {
    const uint32_t bytesPerSector = Le16(boot + 0x0B);
    const uint32_t perCluster = boot[0x0D];
    const uint32_t reserved = Le16(boot + 0x0E);
    const uint32_t fats = boot[0x10];
    const uint32_t fat16Size = Le16(boot + 0x16);
    if ((boot[0] != 0xEB && boot[0] != 0xE9) || boot[510] != 0x55 || boot[511] != 0xAA ||
        (bytesPerSector != 512 && bytesPerSector != 1024 && bytesPerSector != 2048 && bytesPerSector != 4096) ||
        perCluster == 0 || (perCluster & (perCluster - 1)) != 0 || reserved == 0 || fats == 0 || fats > 4)
        return false;
    const bool fat32 = fat16Size == 0;
    const uint64_t fatSectors = uint64_t(fats) * (fat32 ? Le32(boot + 0x24) : fat16Size);
    const uint64_t rootAt = uint64_t(start) + (reserved + fatSectors) * bytesPerSector;
    const uint32_t rootCluster = Le32(boot + 0x2C);
    const uint64_t offset = fat32 ? rootAt + uint64_t(rootCluster >= 2 ? rootCluster - 2 : 0) * perCluster * bytesPerSector
                                  : rootAt;
    volume->start = start;
    volume->rootOffset = offset < UINT32_MAX ? uint32_t(offset) : UINT32_MAX;
    volume->rootSize = fat32 ? perCluster * bytesPerSector : Le16(boot + 0x11) * 32;
    // The extended boot signature says whether the boot sector holds a label.
    const uint32_t signature = fat32 ? 0x42 : 0x26;
    volume->bootLabel = boot[signature] == 0x29 ? boot + signature + 5 : nullptr;
    return true;
}

}  // namespace

void VolumeLabelOf(KeptBytesRead read, void* context, uint32_t size, char (&label)[kVolumeLabelSize + 1]) {
    label[0] = '\0';
    uint8_t boot[kSector];
    if (size < kSector || !read(context, 0, boot, kSector))
        return;
    Volume volume{};
    if (!ReadBootSector(boot, 0, &volume)) {
        // A master boot record: the first partition's boot sector, when the
        // kept bytes reach it.
        if (boot[510] != 0x55 || boot[511] != 0xAA || boot[0x1BE + 4] == 0)
            return;
        const uint64_t start = uint64_t(Le32(boot + 0x1BE + 8)) * kSector;
        if (start == 0 || start + kSector > size || !read(context, uint32_t(start), boot, kSector) ||
            !ReadBootSector(boot, uint32_t(start), &volume))
            return;
    }
    uint8_t root[kRootRead];
    const uint32_t rootSize = volume.rootSize < kRootRead ? volume.rootSize : kRootRead;
    if (volume.rootOffset < size && rootSize <= size - volume.rootOffset && rootSize >= 32 &&
        read(context, volume.rootOffset, root, rootSize)) {
        for (uint32_t at = 0; at + 32 <= rootSize && root[at] != 0; at += 32) {
            const uint8_t attributes = root[at + 11];
            if (root[at] != 0xE5 && attributes != kLongName && (attributes & kAttributeLabel) != 0 &&
                (attributes & kAttributeFolder) == 0 && TakeLabel(root + at, label))
                return;
        }
    }
    uint8_t bootLabel[kVolumeLabelSize];
    if (volume.bootLabel == nullptr)
        return;
    memcpy(bootLabel, volume.bootLabel, sizeof(bootLabel));
    if (memcmp(bootLabel, "NO NAME    ", kVolumeLabelSize) != 0)
        TakeLabel(bootLabel, label);
}
