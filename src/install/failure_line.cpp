#include "install/failure_line.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "install/disk_words.h"
#include "resource.h"
#include "status/status_list.h"
#include "text/copy_text.h"
#include "text/text.h"
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
    }
    return nullptr;
}

}  // namespace

void LogWriteFailure(const RawWriteResult& result, const char* drive) {
    const FailureText failure = FailureTextOf(result.outcome, result.mediaType);
    if (failure.id == 0)
        return;
    char* own = OwnText(result, failure, drive);
    if (own == nullptr)
        return;
    char line[2048];
    snprintf(line, sizeof(line), "%s", own);
    free(own);
    // Said once: by the failure's text where it tells, else here.
    if (!failure.tellsDrive) {
        const char* held = GetText(result.wroteAny ? IDS_PART_WRITTEN : IDS_NOTHING_WRITTEN);
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
