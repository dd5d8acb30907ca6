#include "app/file_drop.h"

#include "install/checks.h"
#include "resource.h"
#include "shell/app_state.h"
#include "source/chooser_pane.h"
#include "source/external_file.h"
#include "source/file_names.h"
#include "status/status_list.h"
#include "text/console.h"
#include "text/text.h"

namespace {

void TakeOneFile(const wchar_t* path) {
    char utf8[kPathBufferSize * 3];
    WideToUtf8(path, utf8, sizeof(utf8));
    if (IsWriteActive()) {
        ConsolePrint("%s was dropped while a write runs: not taken.\n", utf8);
        LogProgressPath(MessageKind::Warning, IDS_DROP_DURING_WRITE, FileNamePart(utf8));
        return;
    }
    ChooseExternalFile(path);
    RunChecks();
}

}  // namespace

void TakeDroppedFiles(HDROP drop) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    wchar_t path[kPathBufferSize];
    if (count != 1) {
        ConsolePrint("%u files were dropped: not taken.\n", count);
        // Kept with the write's lines: the Install pane shows it when next shown.
        LogProgressText(MessageKind::Warning, GetText(IDS_DROP_ONE_FILE, count));
    } else if (const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
               length > 0 && length < kPathBufferSize && DragQueryFileW(drop, 0, path, kPathBufferSize) == length) {
        TakeOneFile(path);
    } else {
        ConsolePrint("The dropped file's path is too long.\n");
    }
    DragFinish(drop);
}
