#include "install/drive_copies.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "devices/device_path.h"
#include "install/kept_files_win32.h"
#include "install/kept_store.h"
#include "source/sha256.h"
#include "text/console.h"

namespace {

constexpr uint32_t kFirstSectorSize = 512;
constexpr uint32_t kLargestSector = 4096;

// Fills the 32 bytes at `digest`; false when no digest was had.
bool Digest(const uint8_t* data, uint32_t size, uint8_t* digest) {
    Sha256Digest result;
    if (!Sha256Of(data, size, &result))
        return false;
    memcpy(digest, result.bytes, sizeof(result.bytes));
    return true;
}

// A copy that cannot be hashed is never taken for whole.
void KeptDigest(const uint8_t* data, uint32_t size, uint8_t digest[32]) {
    if (!Digest(data, size, digest))
        memset(digest, 0, 32);
}

uint8_t* PageAligned(uint32_t size) {
    return static_cast<uint8_t*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

// The first sector of what `drive` writes through: the disk when it is
// known, else the volume, read past the cache.
bool FirstSectorDigest(const TargetIdentity& drive, uint8_t (&digest)[32]) {
    const DevicePath volume = VolumeDevicePath(drive.letter);
    const char* path = drive.target.kind == WriteTargetKind::PhysicalDrive ? drive.target.path.text : volume.text;
    const HANDLE device = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_NO_BUFFERING, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    uint8_t* sector = PageAligned(kLargestSector);
    // 4 KiB: whole sectors of any size a drive has.
    DWORD read = 0;
    const bool ok = sector != nullptr && ReadFile(device, sector, kLargestSector, &read, nullptr) &&
                    read >= kFirstSectorSize && Digest(sector, kFirstSectorSize, digest);
    if (sector != nullptr)
        VirtualFree(sector, 0, MEM_RELEASE);
    CloseHandle(device);
    return ok;
}

// The digest of the image written: the one already known (the attached
// image's, hashed by the loader) spares hashing it again before the write.
bool ImageDigest(const KeepRequest& request, uint8_t (&digest)[32]) {
    if (request.imageSha256 == nullptr)
        return Digest(request.image, kWriteImageSize, digest);
    memcpy(digest, request.imageSha256, sizeof(digest));
    return true;
}

uint64_t Now() {
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    return (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

}  // namespace

KeptOffer SurveyKeptCopy(const TargetIdentity& drive) {
    KeptOffer offer{};
    if (drive.letter == 0)
        return offer;
    const KeptCopyFound found = FindKeptCopy(Win32KeptFiles(), KeptDeviceOf(drive));
    if (!found.found)
        return offer;
    offer.found = true;
    offer.keptAt = found.header.keptAt;
    // Unreadable now is not "changed": only a sector read and seen to differ is.
    uint8_t first[32];
    offer.changedSince = FirstSectorDigest(drive, first) && memcmp(first, found.header.firstSectorSha256, 32) != 0;
    return offer;
}

bool HasKeptCopy(const TargetIdentity& drive) {
    return FindKeptCopy(Win32KeptFiles(), KeptDeviceOf(drive)).found;
}

void KeepDriveContents(void* context, const uint8_t* kept, uint64_t tailOffset, const uint8_t* tail,
                       uint32_t tailSize) {
    auto* request = static_cast<KeepRequest*>(context);
    const char letter = request->chosen->letter;
    if (kept == nullptr)
        return;
    KeptCopyHeader header{};
    header.device = KeptDeviceOf(*request->chosen);
    header.keptAt = Now();
    header.tailOffset = tailOffset;
    header.tailSize = tailSize;
    if (!Digest(kept, kWriteImageSize, header.keptSha256) ||
        !ImageDigest(*request, header.imageSha256) ||
        !Digest(request->image, kFirstSectorSize, header.firstSectorSha256) ||
        (tailSize != 0 && !Digest(tail, tailSize, header.tailSha256))) {
        ConsolePrint("What drive %c: holds could not be hashed: no copy is kept.\n", letter);
        return;
    }
    char name[kKeptNameCapacity];
    switch (KeepCopy(Win32KeptFiles(), header, kept, tail, name)) {
        case KeepOutcome::Kept:
            ConsolePrint("Kept what drive %c: held as %s.\n", letter, name);
            request->kept = true;
            break;
        case KeepOutcome::AlreadyKept:
            ConsolePrint("What drive %c: held first is kept already as %s; that copy stays.\n", letter, name);
            request->kept = true;
            break;
        case KeepOutcome::NotKept:
            ConsolePrint("What drive %c: held could not be kept (error %lu).\n", letter, GetLastError());
            break;
    }
}

bool LoadPutBackCopy(const TargetIdentity& chosen, PutBackCopy* copy) {
    *copy = PutBackCopy{};
    const KeptCopyFound found = FindKeptCopy(Win32KeptFiles(), KeptDeviceOf(chosen));
    if (!found.found) {
        ConsolePrint("No copy is kept of drive %c:.\n", chosen.letter);
        return false;
    }
    memcpy(copy->name, found.name, sizeof(copy->name));
    copy->kept = PageAligned(kWriteImageSize);
    copy->tail = PageAligned(kMaxKeptTailSize);
    if (copy->kept == nullptr || copy->tail == nullptr ||
        !LoadKeptCopy(Win32KeptFiles(), found.name, KeptDigest, &copy->header, copy->kept, copy->tail) ||
        !IsKeptDevice(copy->header.device, KeptDeviceOf(chosen))) {
        ConsolePrint("The copy %s could not be read whole or does not match its SHA-256.\n", found.name);
        FreePutBackCopy(copy);
        return false;
    }
    ConsolePrint("Putting back %s on drive %c:.\n", found.name, chosen.letter);
    return true;
}

void FreePutBackCopy(PutBackCopy* copy) {
    if (copy->kept != nullptr)
        VirtualFree(copy->kept, 0, MEM_RELEASE);
    if (copy->tail != nullptr)
        VirtualFree(copy->tail, 0, MEM_RELEASE);
    copy->kept = nullptr;
    copy->tail = nullptr;
}

void RemovePutBackCopy(const PutBackCopy& copy) {
    if (!RemoveKeptCopy(Win32KeptFiles(), copy.name))
        ConsolePrint("The copy %s could not be deleted (error %lu).\n", copy.name, GetLastError());
}

void FormatKeptDate(uint64_t keptAt, char* text, size_t capacity) {
    FILETIME utc = {static_cast<DWORD>(keptAt), static_cast<DWORD>(keptAt >> 32)};
    SYSTEMTIME universal = {};
    SYSTEMTIME local = {};
    char date[64] = "?";
    char time[32] = "";
    // A date Windows cannot give is "?": the copy is still offered.
    if (!FileTimeToSystemTime(&utc, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local) ||
        GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, sizeof(date)) == 0 ||
        GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &local, nullptr, time, sizeof(time)) == 0) {
        date[0] = '?', date[1] = '\0';
        time[0] = '\0';
    }
    snprintf(text, capacity, "%s %s", date, time);
}
