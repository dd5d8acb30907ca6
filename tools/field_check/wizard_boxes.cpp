#include "wizard_boxes.h"

#include <string.h>

#include "remote_window.h"

namespace {

// Windows' MessageBox puts its text in a static control of this id; where
// another id is used (Wine's), the box's longest static text is it.
const int kBoxTextId = 0xFFFF;

struct BoxSearch {
    DWORD pid;
    HWND main;
    HWND found;
};

BOOL CALLBACK FindBoxOf(HWND window, LPARAM param) {
    BoxSearch* search = (BoxSearch*)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char name[16] = "";
    if (pid != search->pid || window == search->main || !IsWindowVisible(window) ||
        !GetClassNameA(window, name, sizeof name) || strcmp(name, "#32770") != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

std::string TextOf(HWND control) {
    char text[2048] = "";
    return control && Send(control, WM_GETTEXT, sizeof text, (LPARAM)text) ? text : "";
}

BOOL CALLBACK LongestStatic(HWND child, LPARAM param) {
    std::string* longest = (std::string*)param;
    char name[16] = "";
    if (GetClassNameA(child, name, sizeof name) && _stricmp(name, "Static") == 0) {
        const std::string text = TextOf(child);
        if (text.size() > longest->size())
            *longest = text;
    }
    return TRUE;
}

}  // namespace

bool FindBox(DWORD pid, HWND main, HWND* box, BoxSeen* seen) {
    BoxSearch search = {pid, main, nullptr};
    EnumWindows(FindBoxOf, (LPARAM)&search);
    if (!search.found)
        return false;
    *box = search.found;
    seen->text = TextOf(GetDlgItem(search.found, kBoxTextId));
    if (seen->text.empty())
        EnumChildWindows(search.found, LongestStatic, (LPARAM)&seen->text);
    if (seen->text.empty())
        seen->text = "(a window without a text: " + TextOf(search.found) + ")";
    seen->yesNo = GetDlgItem(search.found, IDYES) && GetDlgItem(search.found, IDNO);
    return true;
}

bool AnswerBox(HWND box, bool yes) {
    const int order[] = {IDNO, IDCANCEL, IDOK};
    int id = yes ? IDYES : 0;
    for (int i = 0; !id && i < 3; ++i)
        if (GetDlgItem(box, order[i]))
            id = order[i];
    if (!id)
        id = IDCANCEL;
    // The dialog hears its button's click as this command.
    return IsWindow(box) &&
           PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(box, id)) != 0;
}
