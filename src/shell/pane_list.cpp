#include "shell/pane_list.h"

#include <cstdlib>

#include "resource.h"
#include "text/copy_text.h"
#include "text/text.h"

namespace {

constexpr COLORREF kSelectedFill = 0xAE8C19;
constexpr COLORREF kSelectedOutline = 0xFFDD6A;
constexpr COLORREF kDisabledFill = 0xA8A8A8;
constexpr COLORREF kOtherFill = 0x7E5C19;
constexpr COLORREF kOtherOutline = 0xCFCFCF;
constexpr COLORREF kEntryText = 0xFFFFFF;

constexpr int kPaneTitleIds[] = {IDS_PANE_WELCOME, IDS_PANE_TARGET, IDS_PANE_INSTALL, IDS_PANE_REBOOT};

// The list owns a heap copy of each title as its item data.
void ReleaseTitles(HWND list) {
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT data = SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0);
        if (data != LB_ERR)
            free(reinterpret_cast<char*>(data));
        SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(i), 0);
    }
}

}  // namespace

void RefillPaneTitles(HWND mainWindow) {
    const HWND list = GetDlgItem(mainWindow, IDC_PANE_LIST);
    const LRESULT selection = SendMessageA(list, LB_GETCURSEL, 0, 0);
    ReleaseTitles(list);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (int id : kPaneTitleIds)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(CopyText(GetText(id))));
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(selection), 0);
}

BOOL DrawPaneListItem(const DRAWITEMSTRUCT* item) {
    const HDC dc = item->hDC;
    SelectObject(dc, GetStockObject(DC_PEN));
    SelectObject(dc, GetStockObject(DC_BRUSH));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kEntryText);

    if (item->itemState & ODS_SELECTED) {
        SetDCBrushColor(dc, kSelectedFill);
        SetDCPenColor(dc, kSelectedOutline);
    } else if (item->itemState & ODS_DISABLED) {
        SetDCBrushColor(dc, kDisabledFill);
        SetDCPenColor(dc, kOtherOutline);
    } else {
        SetDCBrushColor(dc, kOtherFill);
        SetDCPenColor(dc, kOtherOutline);
    }

    // The bar reaches 5 pixels past the list's right edge, so only its left
    // corners show rounded and it has no outline on the right.
    const RECT& r = item->rcItem;
    RoundRect(dc, r.left, r.top, r.right + 5, r.bottom, 8, 8);

    const char* title = reinterpret_cast<const char*>(item->itemData);
    if (title != nullptr) {
        const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(item->hwndItem, WM_GETFONT, 0, 0));
        const HGDIOBJ oldFont = font != nullptr ? SelectObject(dc, font) : nullptr;
        TextOutA(dc, r.left + 8, r.top + 4, title, static_cast<int>(strlen(title)));
        if (oldFont != nullptr)
            SelectObject(dc, oldFont);
    }
    return TRUE;
}
