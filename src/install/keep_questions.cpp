#include "install/keep_questions.h"

#include <windows.h>

#include <cstdio>

#include "keep/drive_copies.h"
#include "keep/kept_files_win32.h"
#include "resource.h"
#include "shell/ui_thread.h"
#include "status/status_list.h"
#include "text/console.h"
#include "text/text.h"

namespace {

struct Question {
    char text[1024];
    bool yes;
};

LRESULT AskOnUiThread(void* argument) {
    auto* question = static_cast<Question*>(argument);
    char title[128];
    snprintf(title, sizeof(title), "%s", GetText(IDS_WINDOW_TITLE));
    // No is the default: pressed by habit, it writes nothing.
    question->yes = MessageBoxA(GetMainWindow(), question->text, title,
                                MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING) == IDYES;
    return 1;
}

// Why no copy of `drive` could be kept, as one sentence.
void Reason(KeepQuestion question, const char* drive, char (&reason)[512]) {
    switch (question) {
        case KeepQuestion::NoSpace: {
            const char folderDrive[3] = {KeptFolderLetter(), ':', '\0'};
            // The folder's drive may have no letter to name.
            snprintf(reason, sizeof(reason), "%s",
                     folderDrive[0] != 0 ? GetText(IDS_NO_COPY_NO_SPACE, drive, folderDrive)
                                         : GetText(IDS_NO_COPY_NO_ROOM, drive));
            return;
        }
        case KeepQuestion::DriveUnread:
            snprintf(reason, sizeof(reason), "%s", GetText(IDS_NO_COPY_UNREAD, drive));
            return;
        case KeepQuestion::NotRecorded:
            snprintf(reason, sizeof(reason), "%s", GetText(IDS_NO_RECORD, drive));
            return;
        case KeepQuestion::FolderRefused:
        case KeepQuestion::ChangedSince:
            snprintf(reason, sizeof(reason), "%s", GetText(IDS_NO_COPY_FOLDER, drive));
            return;
    }
}

bool Ask(Question* question) {
    RunOnUiThread(AskOnUiThread, question);
    return question->yes;
}

}  // namespace

bool AskBeforeWrite(const KeepRequest& request, KeepQuestion question, uint64_t when) {
    const char drive[3] = {request.chosen->letter, ':', '\0'};
    Question box{};
    if (question == KeepQuestion::ChangedSince) {
        char date[100];
        FormatKeptDate(when, date, sizeof(date));
        snprintf(box.text, sizeof(box.text), "%s", GetText(IDS_PUT_BACK_ASK_CHANGED, drive, date));
        const bool yes = Ask(&box);
        ConsolePrint("Asked whether to put back over what drive %s holds since: %s.\n", drive, yes ? "Yes" : "No");
        if (!yes)
            LogProgressOutcome(MessageKind::Warning, IDS_PUT_BACK_DECLINED, drive);
        return yes;
    }
    char reason[512];
    Reason(question, drive, reason);
    // Not recorded, a write may still have its copy: Put back stays possible.
    const bool recordOnly = question == KeepQuestion::NotRecorded;
    if (request.fixedDisk) {
        LogProgressOutcome(MessageKind::Error,
                           recordOnly ? IDS_FIXED_NOT_WRITTEN_UNRECORDED : IDS_FIXED_NOT_WRITTEN_UNKEPT, reason);
        return false;
    }
    snprintf(box.text, sizeof(box.text), "%s", GetText(recordOnly ? IDS_WRITE_UNRECORDED_ASK : IDS_WRITE_UNKEPT_ASK,
                                                       reason));
    const bool yes = Ask(&box);
    ConsolePrint("Asked whether to write drive %s without %s: %s.\n", drive, recordOnly ? "its record" : "a copy",
                 yes ? "Yes" : "No");
    if (!yes)
        LogProgressOutcome(MessageKind::Warning, IDS_UNKEPT_NOT_WRITTEN, reason);
    else if (!recordOnly)
        LogProgress(MessageKind::Warning, IDS_COPY_NOT_KEPT, drive);
    return yes;
}

bool AskToFormat(const char* drive) {
    Question box{};
    snprintf(box.text, sizeof(box.text), "%s", GetText(IDS_FORMAT_ASK, drive));
    const bool yes = Ask(&box);
    ConsolePrint("Asked whether to format the diskette in drive %s: %s.\n", drive, yes ? "Yes" : "No");
    return yes;
}
