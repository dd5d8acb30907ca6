#include "keep/drive_copies.h"

#include <windows.h>
#include <winioctl.h>

#include <cstdio>
#include <cstring>

#include "devices/device_path.h"
#include "keep/kept_files_win32.h"
#include "keep/kept_store.h"
#include "shell/app_state.h"
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

bool KeptDigest(const uint8_t* data, uint32_t size, uint8_t digest[32]) {
    return Digest(data, size, digest);
}

uint8_t* PageAligned(uint32_t size) {
    return static_cast<uint8_t*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

// What the medium in `drive` is now, read past the cache through what the
// write goes through (the disk when it is known, else the volume): its
// fingerprint, as the write takes it, the digest of its first sector, and
// with `held` (page-aligned, which it fills) the bytes the image goes over,
// or null when they could not be read. False when not even the first sector
// could be read.
bool ReadMedium(const TargetIdentity& drive, KeptCopyHeader* medium, uint8_t (&first)[32], uint8_t** held) {
    medium->device = KeptDeviceOf(drive);
    medium->mark = MediumMark::Untold;
    const DevicePath volume = VolumeDevicePath(drive.letter);
    const char* path = drive.target.kind == WriteTargetKind::PhysicalDrive ? drive.target.path.text : volume.text;
    const HANDLE device = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_NO_BUFFERING, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    GET_LENGTH_INFORMATION length = {};
    DWORD returned = 0;
    // A volume's reads would otherwise stop where its file system thinks it
    // ends, before the bytes past the image.
    if (drive.target.kind != WriteTargetKind::PhysicalDrive)
        DeviceIoControl(device, FSCTL_ALLOW_EXTENDED_DASD_IO, nullptr, 0, nullptr, 0, &returned, nullptr);
    if (!DeviceIoControl(device, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof(length), &returned,
                         nullptr) ||
        returned < sizeof(length)) {
        // Windows answers a file's size for a drive that is a file (Wine's).
        if (!GetFileSizeEx(device, &length.Length))
            length.Length.QuadPart = 0;
    }
    const UntouchedSamples samples = UntouchedSamplesOf(uint64_t(length.Length.QuadPart));
    uint8_t* bytes = PageAligned(kMaxUntouchedSize);
    // 4 KiB: whole sectors of any size a drive has.
    DWORD read = 0;
    const bool ok = bytes != nullptr && ReadFile(device, bytes, kLargestSector, &read, nullptr) &&
                    read >= kFirstSectorSize && Digest(bytes, kFirstSectorSize, first);
    medium->mark = MediumMark::Untold;
    if (ok && length.Length.QuadPart > 0 && samples.count == 0)
        medium->mark = MediumMark::NoneToTake;
    uint32_t done = 0;
    for (unsigned i = 0; ok && i < samples.count; done += samples.sizes[i++]) {
        LARGE_INTEGER at;
        at.QuadPart = LONGLONG(samples.offsets[i]);
        read = 0;
        if (!SetFilePointerEx(device, at, nullptr, FILE_BEGIN) ||
            !ReadFile(device, bytes + done, samples.sizes[i], &read, nullptr) || read != samples.sizes[i])
            break;
    }
    if (ok && samples.count > 0 && done == samples.total)
        medium->mark = MarkOfSamples(bytes, done, KeptDigest, medium->fingerprint);
    if (bytes != nullptr)
        VirtualFree(bytes, 0, MEM_RELEASE);
    // Whether a write keeps a new copy is decided on every chunk, as the
    // keep decides it: a file saved since changes chunks past the first.
    LARGE_INTEGER start = {};
    read = 0;
    if (held != nullptr && (*held = ok ? PageAligned(kWriteImageSize) : nullptr) != nullptr &&
        (!SetFilePointerEx(device, start, nullptr, FILE_BEGIN) ||
         !ReadFile(device, *held, kWriteImageSize, &read, nullptr) || read != kWriteImageSize)) {
        VirtualFree(*held, 0, MEM_RELEASE);
        *held = nullptr;
    }
    CloseHandle(device);
    return ok;
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
    KeptCopyHeader medium{};
    uint8_t first[32];
    const bool writing = IsWriteActive() != 0;
    const bool firstRead = ReadMedium(drive, &medium, first, nullptr);
    KeptSurvey survey = SurveyKeptFolder(Win32KeptFiles(), medium, nullptr, KeptDigest, !writing);
    // Only at the limit does a write let a copy go: only then is the whole
    // image's worth read (a diskette's takes half a minute).
    uint8_t* held = nullptr;
    if (survey.copies >= kMaxKeptCopies && ReadMedium(drive, &medium, first, &held) && held != nullptr)
        survey = SurveyKeptFolder(Win32KeptFiles(), medium, held, KeptDigest);
    // The record of a write this program runs now is no sign of one cut short.
    offer.cutShort = survey.record.found && !writing;
    offer.cutShortAt = survey.record.header.keptAt;
    const KeptCopyFound& found = survey.copy;
    if (found.found) {
        offer.found = true;
        offer.keptAt = found.header.keptAt;
        offer.mark = found.header.mark;
        offer.candidates = survey.candidates;
        memcpy(offer.fingerprint, medium.fingerprint, sizeof(offer.fingerprint));
        memcpy(offer.name, found.name, sizeof(offer.name));
        // Unreadable now is not "changed": only a sector read and seen to
        // differ from what the copy and a write cut short put there is.
        offer.changedSince = firstRead && memcmp(first, found.header.firstSectorSha256, 32) != 0 &&
                             !(survey.record.found && memcmp(first, survey.record.header.firstSectorSha256, 32) == 0);
    }
    // A write keeps a new copy of a medium that has none, or holds what was
    // saved on it since: at the limit, that lets the oldest copies go.
    if (held != nullptr) {
        for (unsigned i = 0; i < survey.goingCount; ++i) {
            offer.goingLetter[i] = survey.going[i].header.device.letter;
            offer.goingKeptAt[i] = survey.going[i].header.keptAt;
        }
        offer.goingCount = survey.goingCount;
        VirtualFree(held, 0, MEM_RELEASE);
    } else if (survey.copies >= kMaxKeptCopies && survey.oldest.found && (!found.found || offer.changedSince)) {
        // Unread now, it is kept if it can be read at the write.
        offer.goingCount = 1;
        offer.goingLetter[0] = survey.oldest.header.device.letter;
        offer.goingKeptAt[0] = survey.oldest.header.keptAt;
    }
    return offer;
}

namespace {

void TraceLine(const char* line) {
    ConsolePrint("%s\n", line);
}

}  // namespace

KeepRequest Win32KeepRequest(const TargetIdentity* chosen, const uint8_t* image, const uint8_t* imageSha256,
                             const KeptCopyHeader* putBack) {
    KeepRequest request{};
    request.files = &Win32KeptFiles();
    request.hash = KeptDigest;
    request.startedAt = Now();
    request.note = TraceLine;
    request.chosen = chosen;
    request.image = image;
    request.imageSha256 = imageSha256;
    request.putBack = putBack;
    return request;
}

PutBackLoad LoadPutBackCopy(const TargetIdentity& chosen, const char* name, PutBackCopy* copy) {
    *copy = PutBackCopy{};
    uint64_t length = 0;
    if (!IsKeptCopyName(name) || Win32KeptFiles().length(Win32KeptFiles().context, name, &length) != 0) {
        ConsolePrint("No copy %s is kept of drive %c:.\n", name, chosen.letter);
        return PutBackLoad::Missing;
    }
    snprintf(copy->name, sizeof(copy->name), "%s", name);
    copy->kept = PageAligned(kWriteImageSize);
    copy->tail = PageAligned(kMaxKeptTailSize);
    if (copy->kept == nullptr || copy->tail == nullptr ||
        !LoadKeptCopy(Win32KeptFiles(), name, KeptDigest, &copy->header, copy->kept, copy->tail) ||
        !IsKeptDevice(copy->header.device, KeptDeviceOf(chosen))) {
        ConsolePrint("The copy %s could not be read whole or does not match its SHA-256.\n", name);
        FreePutBackCopy(copy);
        return PutBackLoad::Damaged;
    }
    ConsolePrint("Putting back %s on drive %c:.\n", name, chosen.letter);
    return PutBackLoad::Loaded;
}

void FreePutBackCopy(PutBackCopy* copy) {
    if (copy->kept != nullptr)
        VirtualFree(copy->kept, 0, MEM_RELEASE);
    if (copy->tail != nullptr)
        VirtualFree(copy->tail, 0, MEM_RELEASE);
    copy->kept = nullptr;
    copy->tail = nullptr;
}

bool RemovePutBackCopy(const PutBackCopy& copy) {
    if (RemoveKeptCopy(Win32KeptFiles(), copy.name))
        return true;
    ConsolePrint("The copy %s could not be deleted (error %lu).\n", copy.name, GetLastError());
    return false;
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
