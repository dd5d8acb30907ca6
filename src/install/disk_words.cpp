#include "install/disk_words.h"

#include <cstdio>
#include <cstring>

#include "resource.h"
#include "text/copy_text.h"
#include "text/number_text.h"
#include "text/text.h"
#include "write/write_loop.h"
#include "write/write_target.h"

namespace {

constexpr uint64_t kGigabyte = 1000000000;
constexpr uint64_t kMegabyte = 1000000;

// "128 GB": the size as sticks are sold, rounded to whole units.
void DiskSizeText(uint64_t bytes, char* text, size_t capacity) {
    if (bytes >= kGigabyte)
        snprintf(text, capacity, "%llu GB", static_cast<unsigned long long>((bytes + kGigabyte / 2) / kGigabyte));
    else
        snprintf(text, capacity, "%llu MB", static_cast<unsigned long long>((bytes + kMegabyte / 2) / kMegabyte));
}

}  // namespace

void JoinDriveLetters(const char* letters, char* text, size_t capacity) {
    // Every letter but the last, comma-separated; then "... and X:".
    char head[26 * 4 + 1] = {};
    const size_t count = strnlen(letters, 26);
    size_t used = 0;
    for (size_t i = 0; i + 1 < count; ++i)
        used += snprintf(head + used, sizeof(head) - used, "%s%c:", i > 0 ? ", " : "", letters[i]);
    const char last[3] = {count > 0 ? letters[count - 1] : '?', ':', '\0'};
    if (count <= 1)
        snprintf(text, capacity, "%s", last);
    else
        snprintf(text, capacity, "%s", GetText(IDS_LETTERS_AND, head, last));
}

char* MediumTooSmallText(const char* drive, uint64_t length, uint32_t mediaType) {
    if (CheckMediumFit(length, mediaType) == MediumFit::Diskette720)
        return CopyText(GetText(IDS_DISKETTE_720, drive));
    char size[kGroupedNumberSize];
    char image[kGroupedNumberSize];
    FormatGroupedNumber(length, GetCurrentLanguage(), size);
    FormatGroupedNumber(kWriteImageSize, GetCurrentLanguage(), image);
    return CopyText(GetText(IDS_MEDIUM_TOO_SMALL, drive, size, image));
}

char* FixedDiskQuestion(const TargetIdentity& disk) {
    // "ACME Flash Drive, 128 GB": what the disk calls itself, and its size.
    char name[2 * kDeviceTextCapacity + 40] = {};
    const DiskDescriptor& device = disk.device;
    snprintf(name, sizeof(name), "%s%s%s%s", device.vendor, device.vendor[0] != '\0' ? " " : "", device.product,
             device.vendor[0] != '\0' || device.product[0] != '\0' ? ", " : "");
    DiskSizeText(disk.disk.length, name + strlen(name), sizeof(name) - strlen(name));
    char letters[26 * 6 + 40];
    JoinDriveLetters(disk.lettersOnDisk, letters, sizeof(letters));
    const char drive[3] = {disk.letter, ':', '\0'};
    const bool one = strlen(disk.lettersOnDisk) <= 1;
    // With one letter, the drive's own, the letter is not said twice.
    return CopyText(one ? GetText(IDS_FIXED_DISK_ASK_ONE, drive, name) : GetText(IDS_FIXED_DISK_ASK, drive, name, letters));
}
