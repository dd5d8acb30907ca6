#include "install/target_identity.h"

#include <cstdio>
#include <cstring>

namespace {

// Room for the extents of a volume over a few disks; a longer answer still
// tells the count, which is all a spanned volume needs.
constexpr uint32_t kExtentsAnswerSize = 8 + 8 * 24;

struct ExtentsAnswer {
    bool answered;
    uint32_t error;
    alignas(8) uint8_t bytes[kExtentsAnswerSize];
    uint32_t size;
};

ExtentsAnswer AskExtents(const StorageCalls& calls, const char* path) {
    ExtentsAnswer answer{};
    StorageHandle handle = nullptr;
    answer.error = calls.open(calls.context, path, StorageAccess::Query, false, &handle);
    if (answer.error != 0)
        return answer;
    uint32_t returned = 0;
    answer.error = calls.control(calls.context, handle, StorageControl::VolumeDiskExtents, answer.bytes,
                                 sizeof(answer.bytes), &returned);
    calls.close(calls.context, handle);
    answer.answered = answer.error == 0 || answer.error == kErrorMoreData;
    answer.size = returned <= sizeof(answer.bytes) ? returned : 0;
    return answer;
}

void AddLetters(TargetIdentity* identity, const char* letters) {
    size_t used = strlen(identity->lettersOnDisk);
    for (const char* letter = letters; *letter != '\0' && used + 1 < sizeof(identity->lettersOnDisk); ++letter) {
        if (strchr(identity->lettersOnDisk, *letter) == nullptr)
            identity->lettersOnDisk[used++] = *letter;
    }
}

// "\\?\Volume{...}\" opens the volume device only without its last backslash.
VolumeName VolumeDevicePathOf(const char* volumeName) {
    VolumeName path{};
    snprintf(path.text, sizeof(path.text), "%s", volumeName);
    const size_t length = strlen(path.text);
    if (length > 0 && path.text[length - 1] == '\\')
        path.text[length - 1] = '\0';
    return path;
}

struct DiskSearch {
    const StorageCalls* calls;
    TargetIdentity* identity;
};

void ConsiderVolume(void* user, const char* volumeName) {
    auto* search = static_cast<DiskSearch*>(user);
    TargetIdentity* identity = search->identity;
    const StorageCalls& calls = *search->calls;
    if (strcmp(volumeName, identity->volume.text) == 0)
        return;  // the letter's own, held already
    const VolumeName path = VolumeDevicePathOf(volumeName);
    // Another disk's volume is only ever asked, never opened for writing.
    const ExtentsAnswer answer = AskExtents(calls, path.text);
    if (!answer.answered || !ExtentsMentionDisk(answer.bytes, answer.size, identity->target.diskNumber))
        return;
    if (identity->volumeCount == kMaxDiskVolumes) {
        identity->tooManyVolumes = true;
        return;
    }
    identity->volumes[identity->volumeCount++] = path;
    char letters[27] = {};
    if (calls.volumeLetters(calls.context, volumeName, letters, sizeof(letters)) == 0) {
        letters[sizeof(letters) - 1] = '\0';
        AddLetters(identity, letters);
    }
}

}  // namespace

TargetIdentity IdentifyTarget(const StorageCalls& calls, char letter) {
    TargetIdentity identity{};
    const DevicePath volumePath = VolumeDevicePath(letter);
    if (volumePath.text[0] == '\0') {
        identity.target = ChooseWriteTarget(letter, false, nullptr, 0);
        return identity;
    }
    identity.letter = letter;
    const char root[] = {letter, ':', '\\', '\0'};
    if (calls.volumeName(calls.context, root, identity.volume.text, sizeof(identity.volume.text)) != 0)
        identity.volume.text[0] = '\0';
    identity.volume.text[sizeof(identity.volume.text) - 1] = '\0';

    const ExtentsAnswer answer = AskExtents(calls, volumePath.text);
    if (!answer.answered)
        identity.queryError = answer.error;
    identity.target = ChooseWriteTarget(letter, answer.answered, answer.bytes, answer.size);
    snprintf(identity.volumes[0].text, sizeof(identity.volumes[0].text), "%s", volumePath.text);
    identity.volumeCount = 1;
    const char own[] = {letter, '\0'};
    AddLetters(&identity, own);
    if (identity.target.kind != WriteTargetKind::PhysicalDrive)
        return identity;

    DiskSearch search{&calls, &identity};
    calls.listVolumes(calls.context, ConsiderVolume, &search);
    return identity;
}

bool IsSameDevice(const TargetIdentity& chosen, const TargetIdentity& now) {
    return chosen.letter != 0 && chosen.letter == now.letter && strcmp(chosen.volume.text, now.volume.text) == 0 &&
           chosen.target.diskKnown == now.target.diskKnown &&
           (!chosen.target.diskKnown || chosen.target.diskNumber == now.target.diskNumber);
}

bool IsSameDisk(const TargetIdentity& before, const TargetIdentity& now) {
    if (before.letter == 0 || before.letter != now.letter)
        return false;
    if (before.target.diskKnown && now.target.diskKnown)
        return before.target.diskNumber == now.target.diskNumber;
    return !before.target.diskKnown && !now.target.diskKnown && now.volume.text[0] != '\0' &&
           strcmp(before.volume.text, now.volume.text) == 0;
}
