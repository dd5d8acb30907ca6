#include "keep/put_back_choice.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint64_t kGigabyte = 1000000000;
constexpr uint64_t kMegabyte = 1000000;
// A diskette's length as Windows gives it, with the sector it may add.
constexpr uint64_t kLargestDiskette = kWriteImageSize + 4096;

struct CopyBytes {
    const KeptFiles* files;
    const char* name;
};

// The kept bytes of a copy start after its header.
bool ReadCopyBytes(void* context, uint32_t offset, uint8_t* data, uint32_t size) {
    const auto* copy = static_cast<const CopyBytes*>(context);
    uint32_t done = 0;
    return copy->files->read(copy->files->context, copy->name, uint64_t(kKeptHeaderSize) + offset, data, size,
                             &done) == 0 &&
           done == size;
}

}  // namespace

void MediumSizeText(uint64_t bytes, char* text, size_t capacity) {
    if (bytes == 0)
        snprintf(text, capacity, "%s", "");
    else if (bytes <= kLargestDiskette && bytes >= kWriteImageSize)
        snprintf(text, capacity, "%s", "1.44 MB");
    else if (bytes >= kGigabyte)
        snprintf(text, capacity, "%llu GB", static_cast<unsigned long long>((bytes + kGigabyte / 2) / kGigabyte));
    else
        snprintf(text, capacity, "%llu MB", static_cast<unsigned long long>((bytes + kMegabyte / 2) / kMegabyte));
}

void ListPutBackChoice(const KeptFiles& files, const KeptCopyHeader& medium, PutBackChoice* choice) {
    KeptCopyFound found[kMaxKeptCopies];
    *choice = PutBackChoice{};
    choice->count = FindKeptCopies(files, medium, found, kMaxKeptCopies);
    for (unsigned i = 0; i < choice->count; ++i) {
        PutBackCandidate& row = choice->rows[i];
        const KeptCopyHeader& header = found[i].header;
        memcpy(row.name, found[i].name, sizeof(row.name));
        row.letter = header.device.letter;
        row.keptAt = header.keptAt;
        // A diskette drive names no disk: its medium is the image's size.
        const uint64_t length = header.device.diskLength != 0       ? header.device.diskLength
                                : header.mark == MediumMark::NoneToTake ? kWriteImageSize
                                                                        : 0;
        MediumSizeText(length, row.size, sizeof(row.size));
        CopyBytes bytes{&files, found[i].name};
        VolumeLabelOf(ReadCopyBytes, &bytes, kWriteImageSize, row.label);
    }
}
