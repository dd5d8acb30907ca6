#include "install/copy_chooser.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "keep/drive_copies.h"
#include "resource.h"
#include "text/console.h"
#include "text/text.h"

namespace {

struct Chooser {
    char letter;
    const PutBackChoice* choice;
    int picked;  // the row the user put back; -1: cancelled
};

constexpr unsigned kColumns = 4;
const unsigned kColumnTexts[kColumns] = {IDS_CHOICE_DRIVE, IDS_CHOICE_KEPT, IDS_CHOICE_SIZE, IDS_CHOICE_LABEL};

void SetColumnText(HWND list, int row, int column, const char* text) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    SendMessageA(list, LVM_SETITEMTEXTA, WPARAM(row), LPARAM(&item));
}

// One row a copy: its drive, when it was kept, the medium's size and the
// label its volume had, in the user's code page.
void AddRow(HWND list, int row, const PutBackCandidate& candidate) {
    const char drive[3] = {candidate.letter != 0 ? candidate.letter : '?', ':', '\0'};
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(drive);
    if (SendMessageA(list, LVM_INSERTITEMA, 0, LPARAM(&item)) < 0)
        return;
    char date[100];
    FormatKeptDate(candidate.keptAt, date, sizeof(date));
    SetColumnText(list, row, 1, date);
    SetColumnText(list, row, 2, candidate.size);
    char label[kVolumeLabelSize + 1];
    // A FAT label is in the OEM code page, the list's texts in the ANSI one.
    OemToCharBuffA(candidate.label, label, DWORD(strlen(candidate.label) + 1));
    SetColumnText(list, row, 3, label);
}

// The list's columns, each as wide as its widest text or its heading, in
// the dialog's font at whatever scale it was made.
void FillList(HWND list, const PutBackChoice& choice) {
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (unsigned i = 0; i < kColumns; ++i) {
        char heading[64];
        snprintf(heading, sizeof(heading), "%s", GetText(kColumnTexts[i]));
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_SUBITEM;
        column.pszText = heading;
        column.iSubItem = int(i);
        SendMessageA(list, LVM_INSERTCOLUMNA, i, LPARAM(&column));
    }
    for (unsigned row = 0; row < choice.count; ++row)
        AddRow(list, int(row), choice.rows[row]);
    for (unsigned i = 0; i < kColumns; ++i)
        SendMessageA(list, LVM_SETCOLUMNWIDTH, i, LVSCW_AUTOSIZE_USEHEADER);
    // The newest, the one Put back offered alone before, is selected; only
    // Put back writes it.
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, 0, LPARAM(&state));
}

BOOL OnInitDialog(HWND dialog, Chooser* chooser) {
    SetWindowLongPtrA(dialog, DWLP_USER, LONG_PTR(chooser));
    const char drive[3] = {chooser->letter, ':', '\0'};
    SetWindowTextA(dialog, GetText(IDS_CHOICE_TITLE));
    SetDlgItemTextA(dialog, IDC_CHOICE_PROMPT, GetText(IDS_CHOICE_PROMPT, drive));
    SetDlgItemTextA(dialog, IDC_CHOICE_NOTE, GetText(IDS_CHOICE_NOTE, drive));
    SetDlgItemTextA(dialog, IDOK, GetText(IDS_PUT_BACK));
    SetDlgItemTextA(dialog, IDCANCEL, GetText(IDS_CANCEL));
    const HWND list = GetDlgItem(dialog, IDC_CHOICE_LIST);
    FillList(list, *chooser->choice);
    SetFocus(list);
    return FALSE;  // the focus is set
}

// Put back is pressable only with a row chosen.
void OnSelectionChanged(HWND dialog) {
    const HWND list = GetDlgItem(dialog, IDC_CHOICE_LIST);
    EnableWindow(GetDlgItem(dialog, IDOK), SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 1);
}

void OnCommand(HWND dialog, int id) {
    auto* chooser = reinterpret_cast<Chooser*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (id == IDOK) {
        const LRESULT row = SendDlgItemMessageA(dialog, IDC_CHOICE_LIST, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED);
        if (row < 0 || row >= LRESULT(chooser->choice->count))
            return;
        chooser->picked = int(row);
        EndDialog(dialog, IDOK);
    } else if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
    }
}

INT_PTR CALLBACK ChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog, reinterpret_cast<Chooser*>(lParam));
        case WM_COMMAND:
            OnCommand(dialog, LOWORD(wParam));
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == IDC_CHOICE_LIST && header->code == LVN_ITEMCHANGED)
                OnSelectionChanged(dialog);
            return FALSE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

bool ChooseCopyToPutBack(HWND owner, char letter, const PutBackChoice& choice, char (&name)[kKeptNameCapacity]) {
    Chooser chooser{letter, &choice, -1};
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PUT_BACK_CHOICE), owner,
                                           ChooserProc, LPARAM(&chooser));
    if (result == -1)
        ConsolePrint("The choice of copy could not be shown (error %lu).\n", GetLastError());
    if (result != IDOK || chooser.picked < 0) {
        ConsolePrint("Asked which of %u copies goes back on drive %c:; the answer: none.\n", choice.count, letter);
        return false;
    }
    snprintf(name, sizeof(name), "%s", choice.rows[chooser.picked].name);
    ConsolePrint("Asked which of %u copies goes back on drive %c:; the answer: %s (row %d).\n", choice.count, letter,
                 name, chooser.picked + 1);
    return true;
}
