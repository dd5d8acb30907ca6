#include "install/failure_line.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "install/disk_words.h"
#include "resource.h"
#include "status/status_list.h"
#include "text/copy_text.h"
#include "text/number_text.h"
#include "text/text.h"
#include "write/diskette_layout.h"
#include "write/write_errors.h"

namespace {

// Windows' message for `error`, in the program's language where Windows has
// it, else in Windows' own; on one line, without its line break. False when
// Windows has no message for it.
bool WindowsMessage(uint32_t error, char* text, DWORD capacity) {
    const uint16_t language = GetCurrentLanguage();
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;
    DWORD length = 0;
    if (language != 0 && language != 0xFFFF)
        length = FormatMessageA(flags, nullptr, error, MAKELANGID(language, SUBLANG_DEFAULT), text, capacity, nullptr);
    if (length == 0)
        length = FormatMessageA(flags, nullptr, error, 0, text, capacity, nullptr);
    if (length == 0 || length >= capacity)
        return false;
    while (length > 0 && static_cast<unsigned char>(text[length - 1]) <= ' ')
        --length;
    text[length] = '\0';
    for (DWORD i = 0; i < length; ++i)
        if (static_cast<unsigned char>(text[i]) < ' ')
            text[i] = ' ';
    return length > 0;
}

char* SpotText(unsigned disketteId, unsigned byteId, const char* drive, bool diskette, uint64_t offset);

// The failure's own text, formatted as it takes its arguments (malloc'ed).
char* OwnText(const RawWriteResult& result, const FailureText& failure, const char* drive) {
    switch (failure.argument) {
        case FailureArgument::Drive:
            return CopyText(GetText(failure.id, drive));
        case FailureArgument::None:
            return CopyText(GetText(failure.id));
        case FailureArgument::OwnNumber:
            return CopyText(GetText(failure.id, failure.id));
        case FailureArgument::Medium:
            return MediumTooSmallText(drive, result.mediumLength, result.mediaType);
        case FailureArgument::Spot:
            return SpotText(IDS_BAD_SPOT_DISKETTE, IDS_BAD_SPOT_BYTE, drive, result.diskette, result.badSpot);
    }
    return nullptr;
}

// Where a write went wrong on the medium: on a diskette its cylinder, side
// and sector, elsewhere the byte where the sector starts (malloc'ed).
char* SpotText(unsigned disketteId, unsigned byteId, const char* drive, bool diskette, uint64_t offset) {
    const uint64_t sector = offset - offset % 512;
    if (diskette) {
        const DisketteSpot spot = DisketteSpotOf(sector);
        return drive != nullptr ? CopyText(GetText(disketteId, drive, spot.cylinder, spot.side, spot.sector))
                                : CopyText(GetText(disketteId, spot.cylinder, spot.side, spot.sector));
    }
    char at[kGroupedNumberSize];
    FormatGroupedNumber(sector, GetCurrentLanguage(), at);
    return drive != nullptr ? CopyText(GetText(byteId, drive, at)) : CopyText(GetText(byteId, at));
}

}  // namespace

void LogWriteFailure(const RawWriteResult& result, const char* drive, bool copyKept) {
    const FailureText failure = FailureTextOf(result.outcome, result.mediaType);
    if (failure.id == 0)
        return;
    char* own = OwnText(result, failure, drive);
    if (own == nullptr)
        return;
    char line[2048];
    snprintf(line, sizeof(line), "%s", own);
    free(own);
    // A read-back that differs says where it does first.
    const bool differs = (result.outcome == RawWriteOutcome::NotKept || result.outcome == RawWriteOutcome::NotKeptUnlocked) &&
                         result.error == 0 && result.readBackStop < kWriteImageSize;
    if (char* where = differs ? SpotText(IDS_DIFFERS_AT_DISKETTE, IDS_DIFFERS_AT_BYTE, nullptr, result.diskette,
                                         result.readBackStop)
                              : nullptr) {
        snprintf(line + strlen(line), sizeof(line) - strlen(line), " %s", where);
        free(where);
    }
    // Said once: by the failure's text where it tells, else here.
    if (!failure.tellsDrive) {
        const bool returned = result.outcome == RawWriteOutcome::BadSpot && result.wroteAny && copyKept;
        const char* held =
            GetText(returned ? IDS_BAD_SPOT_PUT_BACK : result.wroteAny ? IDS_PART_WRITTEN : IDS_NOTHING_WRITTEN);
        snprintf(line + strlen(line), sizeof(line) - strlen(line), " %s", held);
    }
    char message[512];
    const unsigned error = result.error;
    if (error != 0 && WindowsMessage(error, message, sizeof(message)))
        snprintf(line + strlen(line), sizeof(line) - strlen(line), " %s", GetText(IDS_WINDOWS_ERROR, error, message));
    else if (error != 0)
        snprintf(line + strlen(line), sizeof(line) - strlen(line), " %s", GetText(IDS_WINDOWS_ERROR_NUMBER, error));
    LogProgressText(MessageKind::Error, line);
}
