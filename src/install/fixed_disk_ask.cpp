#include "install/fixed_disk_ask.h"

#include <cstdio>
#include <cstdlib>

#include "install/chosen_target.h"
#include "install/disk_words.h"
#include "resource.h"
#include "text/console.h"
#include "text/text.h"

bool UserConfirmsFixedDisk(HWND pane) {
    const TargetIdentity chosen = ChosenTarget();
    if (!IsFixedStick(chosen))
        return true;
    char* question = FixedDiskQuestion(chosen);
    if (question == nullptr)
        return false;
    char title[128];
    snprintf(title, sizeof(title), "%s", GetText(IDS_WINDOW_TITLE));
    // Every letter of the disk goes: pressed by habit, No writes nothing.
    const bool yes = MessageBoxA(GetAncestor(pane, GA_ROOT), question, title,
                                 MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING) == IDYES;
    free(question);
    ConsolePrint("Asked whether to write drive %c:, on a disk that calls itself fixed: %s.\n", chosen.letter,
                 yes ? "Yes" : "No");
    return yes;
}
