#include "install/checks.h"

#include <windows.h>

#include <cstring>

#include "devices/floppy_test.h"
#include "devices/wow64.h"
#include "install/chosen_target.h"
#include "install/external_source.h"
#include "install/disk_words.h"
#include "keep/drive_copies.h"
#include "keep/kept_files_win32.h"
#include "install/source_check.h"
#include "status/status_focus.h"
#include "status/status_list.h"
#include "write/write_loop.h"
#include "resource.h"
#include "shell/app_state.h"
#include "shell/ui_thread.h"
#include "source/external_file.h"
#include "source/file_names.h"
#include "source/image_digest.h"
#include "text/copy_text.h"
#include "text/number_text.h"
#include "text/text.h"

namespace {

// Set by each check run; UI thread only.
bool g_putBackOffered;
bool g_putBackReady;

// The digest comes a moment after the file is chosen; the checks then run again.
void RunChecksWhenDigestKnown() {
    RunChecks();
}

// The lines below name the image's file: its name and path are UTF-8.
void AddDigestLine(const char* name, const char (&hex)[kSha256HexSize]) {
    AddStatusUtf8(MessageKind::Ok, CopyText(GetTextUtf8(IDS_IMAGE_SHA256, name, hex)));
}

// The zeros that follow a trimmed file on the diskette.
void AddTrimmedLine(const char* name, uint64_t fileSize) {
    char size[kGroupedNumberSize];
    char zeros[kGroupedNumberSize];
    FormatGroupedNumber(fileSize, GetCurrentLanguage(), size);
    FormatGroupedNumber(kWriteImageSize - fileSize, GetCurrentLanguage(), zeros);
    AddStatusUtf8(MessageKind::Ok, CopyText(GetTextUtf8(IDS_TRIMMED_IMAGE, name, size, zeros)));
}

// The lines of an image file the writer can take; `shown` is its path.
void AddWritableFileLines(const char* shown, SourceVerdict verdict, const FileVersion& version) {
    AddStatusPathLine(MessageKind::Ok, IDS_SOURCE_FILE, shown);
    if (verdict == SourceVerdict::Trimmed)
        AddTrimmedLine(FileNamePart(shown), version.size);
    char hex[kSha256HexSize];
    if (ChosenFileSha256(version, RunChecksWhenDigestKnown, hex))
        AddDigestLine(FileNamePart(shown), hex);
}

void AddToList(MessageKind kind, const char* text) {
    AddStatusUtf8(kind, CopyText(text));
}

// An archive's lines: the image inside, or why there is not one to write.
void AddArchiveLines(const char* shown, SourceVerdict verdict, const FileVersion& version) {
    CheckedArchive archive = {};
    if (!CheckArchiveFile(version, verdict, RunChecksWhenDigestKnown, &archive)) {
        // Not judged yet: Start waits for the outcome.
        AddStatusPathLine(MessageKind::Ok, IDS_ARCHIVE_READING, FileNamePart(shown));
        SetChecksPassed(0);
        return;
    }
    if (archive.image.verdict != ArchiveVerdict::Ok)
        return AddArchiveRefusal(AddToList, archive.image, FileNamePart(shown));
    AddToList(MessageKind::Ok, GetTextUtf8(IDS_ARCHIVE_SOURCE, FileNamePart(shown), archive.image.name));
    if (archive.image.size < kWriteImageSize)
        AddTrimmedLine(archive.image.name, archive.image.size);
    if (archive.digestKnown)
        AddDigestLine(archive.image.name, archive.hex);
}

void CheckExternalSource(const char* path) {
    const char* shown = path != nullptr ? path : "";
    if (shown[0] == '\0') {
        AddStatusPathLine(MessageKind::Error, IDS_SOURCE_NOT_FOUND, shown);
        return;
    }
    const HANDLE file = OpenPathForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (file == INVALID_HANDLE_VALUE) {
        AddStatusPathLine(MessageKind::Error, IDS_SOURCE_NOT_FOUND, shown);
        return;
    }
    unsigned char head[512];
    DWORD read = 0;
    if (!ReadFile(file, head, sizeof(head), &read, nullptr))
        read = 0;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size))
        size.QuadPart = 0;
    FILETIME written = {};
    GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);

    const FileVersion version = {path, static_cast<uint64_t>(size.QuadPart),
                                 uint64_t(written.dwHighDateTime) << 32 | written.dwLowDateTime};
    const SourceVerdict verdict = ClassifySourceFile(head, read, version.size);
    switch (verdict) {
        case SourceVerdict::Bootable:
        case SourceVerdict::Trimmed:
            AddWritableFileLines(shown, verdict, version);
            break;
        case SourceVerdict::ZipArchive:
        case SourceVerdict::GzipArchive:
            AddArchiveLines(shown, verdict, version);
            break;
        case SourceVerdict::NotBootable:
            AddStatusPathLine(MessageKind::Error, IDS_NOT_BOOTABLE, shown);
            break;
        case SourceVerdict::TooShort:
            AddStatusPathLine(MessageKind::Error, IDS_SOURCE_TOO_SHORT, shown);
            break;
    }
}

void CheckInternalSource(const char* name) {
    AddStatusLine(MessageKind::Ok, IDS_FROM_INTERNAL, name);
    char hex[kSha256HexSize];
    if (AttachedImageSha256(hex))
        AddDigestLine(name, hex);
}

// "E:, F:" for "EF".
void ListLetters(const char* letters, char* text, size_t capacity) {
    size_t used = 0;
    text[0] = '\0';
    for (const char* letter = letters; *letter != '\0' && used + 5 < capacity; ++letter) {
        if (letter != letters) {
            text[used++] = ',';
            text[used++] = ' ';
        }
        text[used++] = *letter;
        text[used++] = ':';
        text[used] = '\0';
    }
}

void CheckTarget(const DriveRoot& root) {
    const char* destination = root.text;
    const DriveName drive = root.Name();
    // The device behind the letter is what the drive list found off the UI
    // thread; the checks do not ask Windows again.
    TargetIdentity now;
    switch (CheckChosenTarget(destination[0], &now)) {
        case ChoiceVerdict::Same:
            break;
        case ChoiceVerdict::Changed:
            AddStatusLine(MessageKind::Error, IDS_TARGET_CHANGED, drive.text);
            return;
        case ChoiceVerdict::Missing:
            AddStatusLine(MessageKind::Error, IDS_TARGET_MISSING, nullptr);
            return;
    }
    // What the disk said of itself when the list was made: a disk the write
    // would refuse is refused here already, before Start.
    const DiskRefusal refusal = CheckRemovableDisk(now);
    if (refusal == DiskRefusal::LargeSectors) {
        AddStatusLine(MessageKind::Error, now.bytesPerSector == 4096 ? IDS_SECTORS_4096 : IDS_LARGE_SECTORS,
                      drive.text);
        return;
    }
    if (refusal != DiskRefusal::None) {
        AddStatusLine(MessageKind::Error, IDS_NOT_REMOVABLE_DISK, drive.text);
        return;
    }
    // A medium whose size is known to be short of the image's would take
    // its start and fail past its own end.
    if (CheckMediumFit(now.mediumLength, now.mediaType) != MediumFit::Fits) {
        AddStatusEntry(MessageKind::Error, MediumTooSmallText(drive.text, now.mediumLength, now.mediaType));
        return;
    }
    AddStatusLine(MessageKind::Ok, IDS_WRITE_TO, destination);
    if (Is35InchFloppy(destination))
        AddStatusLine(MessageKind::Ok, IDS_DISKETTE_DRIVE, nullptr);
    // The disk is written from its first byte: every letter on it goes.
    if (IsFixedStick(now)) {
        char letters[26 * 6 + 40];
        JoinDriveLetters(now.lettersOnDisk, letters, sizeof(letters));
        AddStatusLine(MessageKind::Warning, IDS_FIXED_DISK_WARNING, letters);
    } else if (strlen(now.lettersOnDisk) > 1) {
        char letters[26 * 4 + 1];
        ListLetters(now.lettersOnDisk, letters, sizeof(letters));
        AddStatusLine(MessageKind::Warning, IDS_DISK_ERASE_WARNING, letters);
    } else {
        AddStatusLine(MessageKind::Warning, IDS_ERASE_WARNING, drive.text);
    }
    // Windows lets only 64-bit programs restart devices: said before Start.
    // ARM64 Windows 10 cannot run the 64-bit program: it is not named there.
    if (RunsUnderWow64())
        AddStatusLine(MessageKind::Warning, NativeMachineIsArm64() ? IDS_WOW64_ARM_NO_RESTART : IDS_WOW64_NO_RESTART,
                      drive.text);
}

// A write to the medium in the drive that began and never reached its
// read-back: the program was ended, or the power went, mid-write.
void CheckCutShort(const DriveRoot& root, const KeptOffer& offer) {
    if (!offer.cutShort)
        return;
    char date[100];
    FormatKeptDate(offer.cutShortAt, date, sizeof(date));
    const DriveName drive = root.Name();
    // Put back is offered only where there is a copy to put back.
    const unsigned text = offer.found ? IDS_WRITE_CUT_SHORT : IDS_WRITE_CUT_SHORT_NO_COPY;
    AddStatusEntry(MessageKind::Warning, CopyText(GetText(text, drive.text, date)));
}

// At the limit of kept copies, the copy this write keeps lets the oldest go:
// said before Start, naming each that goes.
void CheckOldestCopy(const DriveRoot& root, const KeptOffer& offer) {
    const DriveName drive = root.Name();
    for (unsigned i = 0; i < offer.goingCount && i < sizeof(offer.goingLetter); ++i) {
        char date[100];
        FormatKeptDate(offer.goingKeptAt[i], date, sizeof(date));
        const char oldest[3] = {offer.goingLetter[i], ':', '\0'};
        AddStatusEntry(MessageKind::Warning, CopyText(GetText(IDS_OLDEST_COPY_GOES, drive.text, oldest, date)));
    }
}

// The kept copy of the medium in the chosen drive, as the drive list found it.
bool CheckKeptCopy(const DriveRoot& root) {
    const KeptOffer offer = KeptOfferFor(root.text[0]);
    // Copies in a folder that others could change are never offered; the
    // line says what stood where the folder goes.
    FolderFinding finding = FolderFinding::Ours;
    const char* aside = KeptFolderSetAside(&finding);
    if (aside[0] != '\0')
        AddStatusLine(MessageKind::Warning,
                      finding == FolderFinding::OtherOwner ? IDS_COPIES_SET_ASIDE_OWNER
                      : finding == FolderFinding::File     ? IDS_COPIES_SET_ASIDE_FILE
                      : finding == FolderFinding::Link     ? IDS_COPIES_SET_ASIDE_LINK
                      : finding == FolderFinding::Unreadable ? IDS_COPIES_SET_ASIDE_CLOSED
                                                             : IDS_COPIES_SET_ASIDE,
                      aside);
    CheckCutShort(root, offer);
    CheckOldestCopy(root, offer);
    if (!offer.found)
        return false;
    char date[100];
    FormatKeptDate(offer.keptAt, date, sizeof(date));
    const DriveName drive = root.Name();
    // A diskette has no bytes of its own past the image: any diskette in the
    // drive matches, so the line says whose copy it is.
    const unsigned offerText =
        offer.mark == MediumMark::NoneToTake ? IDS_PUT_BACK_OFFER_DISKETTE : IDS_PUT_BACK_OFFER;
    AddStatusEntry(MessageKind::Ok, CopyText(GetText(offerText, drive.text, date)));
    if (offer.changedSince)
        AddStatusLine(MessageKind::Warning, IDS_PUT_BACK_CHANGED, drive.text);
    return true;
}

void (*g_checksShown)() = nullptr;  // UI thread only

LRESULT RunChecksOnUiThread(void*) {
    RunChecks();
    return 1;
}

}  // namespace

void SetChecksShownHook(void (*hook)()) {
    g_checksShown = hook;
}

bool IsPutBackOffered() {
    return g_putBackOffered;
}

bool IsPutBackReady() {
    return g_putBackReady;
}

void RunChecks() {
    // A worker's check run takes its place behind the lines it logged.
    if (!OnUiThread()) {
        QueueOnUiThread(RunChecksOnUiThread, nullptr);
        return;
    }
    AppState* state = g_appState;
    if (state == nullptr)
        return;

    SetChecksPassed(1);
    HoldStatusListRedraw(true);
    RememberHeldStatusLine();
    ClearStatusList();

    if (state->sourceMode == SourceInternal && state->internalImage == nullptr)
        AddStatusLine(MessageKind::Error, IDS_NO_INTERNAL_IMAGE, nullptr);
    else if (state->sourceMode == SourceInternal)
        CheckInternalSource(state->imageName.load());
    else
        CheckExternalSource(state->externalPath);

    // Put back needs only the target: an Error among the source lines
    // stops Start alone.
    const int sourcePassed = HaveChecksPassed();
    SetChecksPassed(1);
    const DriveRoot root = GetDestination();
    bool copyKept = false;
    if (!root.IsSet()) {
        AddStatusLine(MessageKind::Error, IDS_TARGET_MISSING, nullptr);
    } else {
        CheckTarget(root);
        copyKept = HaveChecksPassed() != 0 && CheckKeptCopy(root);
    }

    ReplayProgressLog();
    g_putBackOffered = copyKept;
    g_putBackReady = copyKept && HaveChecksPassed() != 0;
    if (sourcePassed == 0)
        SetChecksPassed(0);
    HoldStatusListRedraw(false);
    KeepStatusFocusOnLastLine();
    if (g_checksShown != nullptr)
        g_checksShown();
}
