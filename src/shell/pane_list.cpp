#include "shell/pane_list.h"

#include "resource.h"
#include "shell/display.h"
#include "text/text.h"

namespace {

constexpr int kPaneTitleIds[] = {IDS_PANE_WELCOME, IDS_PANE_TARGET, IDS_PANE_INSTALL, IDS_PANE_REBOOT};

HFONT g_font;  // UI thread only; the list's font at the current DPI

Surface EntrySurface(UINT state) {
    if (state & ODS_SELECTED)
        return Surface::PaneEntrySelected;
    return (state & ODS_DISABLED) ? Surface::PaneEntryDisabled : Surface::PaneEntry;
}

}  // namespace

void RefillPaneTitles(HWND mainWindow) {
    const HWND list = GetDlgItem(mainWindow, IDC_PANE_LIST);
    const LRESULT selection = SendMessageA(list, LB_GETCURSEL, 0, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (int id : kPaneTitleIds)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(GetText(id)));
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(selection), 0);
}

void ApplyPaneListLook(HWND list) {
    const HFONT font = CreateFontA(Scaled(22), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0,
                                   CLEARTYPE_QUALITY, 0, "Arial");
    if (font == nullptr)
        return;
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (g_font != nullptr)
        DeleteObject(g_font);
    g_font = font;
    SendMessageA(list, LB_SETITEMHEIGHT, 0, Scaled(kPaneListItemHeight));
}

BOOL DrawPaneListItem(const DRAWITEMSTRUCT* item) {
    const HDC dc = item->hDC;
    const SurfaceColours colours = ColoursOf(EntrySurface(item->itemState));
    SelectObject(dc, GetStockObject(DC_PEN));
    SelectObject(dc, GetStockObject(DC_BRUSH));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colours.text);
    SetDCBrushColor(dc, colours.fill);
    SetDCPenColor(dc, colours.accent);

    // The bar reaches past the list's right edge, so only its left corners
    // show rounded and it has no outline on the right.
    const RECT& r = item->rcItem;
    const int corner = Scaled(8);
    RoundRect(dc, r.left, r.top, r.right + Scaled(5), r.bottom, corner, corner);

    char title[128];
    const LRESULT length = SendMessageA(item->hwndItem, LB_GETTEXTLEN, item->itemID, 0);
    if (item->itemID != static_cast<UINT>(-1) && length > 0 && length < static_cast<LRESULT>(sizeof(title)) &&
        SendMessageA(item->hwndItem, LB_GETTEXT, item->itemID, reinterpret_cast<LPARAM>(title)) == length) {
        const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(item->hwndItem, WM_GETFONT, 0, 0));
        const HGDIOBJ oldFont = font != nullptr ? SelectObject(dc, font) : nullptr;
        TextOutA(dc, r.left + Scaled(8), r.top + Scaled(4), title, static_cast<int>(length));
        if (oldFont != nullptr)
            SelectObject(dc, oldFont);
    }
    RECT inside = {r.left + Scaled(3), r.top + Scaled(3), r.right - Scaled(2), r.bottom - Scaled(3)};
    DrawRowFocus(item, inside);
    return TRUE;
}
