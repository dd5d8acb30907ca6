#include "wizard_boxes.h"

#include <string.h>

#include "remote_window.h"
#include "wide_files.h"

namespace {

// Windows' MessageBox puts its text in a static control of this id; where
// another id is used (Wine's), the box's longest static text is it.
const int kBoxTextId = 0xFFFF;

struct DialogSearch {
    DWORD pid;
    HWND except;
    int control;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
    DialogSearch* search = (DialogSearch*)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char name[16] = "";
    if (pid != search->pid || window == search->except || !IsWindowVisible(window) ||
        (search->control && !GetDlgItem(window, search->control)) || !GetClassNameA(window, name, sizeof name) ||
        strcmp(name, "#32770") != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

// In UTF-8, as the check keeps every text: read wide, whatever code page the
// wizard made its box in.
std::string TextOf(HWND control) {
    wchar_t text[2048] = L"";
    DWORD_PTR units = 0;
    if (!control || !SendMessageTimeoutW(control, WM_GETTEXT, 2048, (LPARAM)text, SMTO_NORMAL, 5000, &units))
        return "";
    return Utf8(text, (int)(units < 2048 ? units : 2047));
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

HWND FindDialogOf(DWORD pid, HWND except, int control) {
    DialogSearch search = {pid, except, control, nullptr};
    EnumWindows(FindDialog, (LPARAM)&search);
    return search.found;
}

bool FindBox(DWORD pid, HWND main, HWND* box, BoxSeen* seen) {
    const HWND found = FindDialogOf(pid, main, 0);
    if (!found)
        return false;
    *box = found;
    seen->text = TextOf(GetDlgItem(found, kBoxTextId));
    if (seen->text.empty())
        EnumChildWindows(found, LongestStatic, (LPARAM)&seen->text);
    if (seen->text.empty())
        seen->text = "(a window without a text: " + TextOf(found) + ")";
    seen->yesNo = GetDlgItem(found, IDYES) && GetDlgItem(found, IDNO);
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
