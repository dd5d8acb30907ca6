// How the status list's lines look: icons and fonts at the display's DPI, a
// line broken into items as wide as the list and no taller than Windows lets
// an item be, each item drawn, and the layout made again at a new DPI.
#include "status/status_list_parts.h"
#include "status/status_list.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "status/status_rows.h"
#include "resource.h"
#include "shell/display.h"
#include "text/unicode_text.h"
#include "text/utf8_text.h"

namespace {

// Windows refuses LB_SETITEMHEIGHT above this: a taller line takes more items.
constexpr int kMaxItemHeight = 255;

// Pixels at 96 dpi.
constexpr int kTextLeft = 20;
constexpr int kIconMargin = 2;
constexpr int kFontHeight = 20;
constexpr UINT_PTR kRedrawTimer = 1;
constexpr UINT kRedrawDelayMs = 50;

// UI thread only.
HICON g_okIcon, g_errorIcon, g_warningIcon;
bool g_redrawHeld;
HDC g_measureDc;  // owns the measuring font for the process's life
HFONT g_drawFont;
int g_iconSize;  // of the icons loaded
// The height of the item being added: its WM_MEASUREITEM comes during
// LB_ADDSTRING, before its item data is set.
UINT g_addingHeight;

// Each icon is drawn at every size it is shown at; the one for the DPI is
// loaded, never stretched.
HICON LoadStatusIcon(int id) {
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, g_iconSize,
                                         g_iconSize, LR_DEFAULTCOLOR));
}

void LoadStatusIcons() {
    g_iconSize = StatusIconSize(DisplayDpi());
    g_okIcon = LoadStatusIcon(IDI_STATUS_OK);
    g_errorIcon = LoadStatusIcon(IDI_STATUS_ERROR);
    g_warningIcon = LoadStatusIcon(IDI_STATUS_WARNING);
}

HFONT CreateStatusFont() {
    return CreateFontA(Scaled(kFontHeight), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0, "MS Shell Dlg");
}

// A memory DC like the screen's, kept with the status font selected:
// measuring a line then asks nothing of the window system. Null when it
// cannot be made.
HDC MeasureDc() {
    if (g_measureDc == nullptr) {
        g_measureDc = CreateCompatibleDC(nullptr);
        if (g_measureDc != nullptr)
            SelectObject(g_measureDc, CreateStatusFont());
    }
    return g_measureDc;
}

int LineHeight() {
    TEXTMETRICA metrics;
    const HDC dc = MeasureDc();
    if (dc != nullptr && GetTextMetricsA(dc, &metrics) && metrics.tmHeight > 0)
        return metrics.tmHeight;
    return Scaled(kFontHeight);
}

// Where a line's text goes: from the icon's column to the list's right edge.
struct TextBox {
    HDC dc;
    int width;
};

// The same with or without the scroll bar: lines broken as they were added
// are drawn so when a later line brings the scroll bar.
TextBox TextBoxOf(HWND list) {
    RECT client = {};
    GetClientRect(list, &client);
    int width = client.right - Scaled(kTextLeft);
    if ((GetWindowLongPtrA(list, GWL_STYLE) & WS_VSCROLL) == 0)
        width -= GetSystemMetrics(SM_CXVSCROLL);
    return TextBox{MeasureDc(), width > 0 ? width : 1};
}

// How many bytes of the UTF-8 `text` fit in the box's width, as whole
// characters; all of them when the text cannot be measured (the line is then
// cut off rather than lost).
size_t FitInBox(const char* text, size_t count, void* context) {
    const TextBox* box = static_cast<const TextBox*>(context);
    int units = 0;
    wchar_t* wide = box->dc != nullptr ? WideFromUtf8(text, count, &units) : nullptr;
    int fit = 0;
    SIZE size;
    const bool measured =
        wide != nullptr && GetTextExtentExPointW(box->dc, wide, units, box->width, &fit, nullptr, &size);
    free(wide);
    if (!measured)
        return count;
    return Utf8BytesOfUnits(text, count, fit > 0 ? static_cast<size_t>(fit) : 0);
}

// Adds one item of `height` with `row` as its item data; false when the list
// took neither. The list is a Unicode window: its string keeps every
// character of the UTF-8 `spoken`.
bool AddItem(StatusEntry* row, const char* spoken, int height) {
    wchar_t* wide = WideFromUtf8(spoken);
    if (wide == nullptr)
        return false;
    const LRESULT insertAt = CheckInsertPosition();
    const bool inserted = row->record == nullptr && insertAt >= 0;
    g_addingHeight = static_cast<UINT>(height < kMaxItemHeight ? height : kMaxItemHeight);
    const LRESULT index = inserted ? SendMessageW(StatusListWindow(), LB_INSERTSTRING, static_cast<WPARAM>(insertAt),
                                                  reinterpret_cast<LPARAM>(wide))
                                   : SendMessageW(StatusListWindow(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide));
    g_addingHeight = 0;
    free(wide);
    if (index == LB_ERR || index == LB_ERRSPACE)
        return false;
    if (SendMessageA(StatusListWindow(), LB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(row)) ==
        LB_ERR) {
        SendMessageA(StatusListWindow(), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
        return false;
    }
    if (inserted)
        NoteCheckLineInserted();
    return true;
}

// How many lines stand above the one that starts at item `start`: the rows'
// stripes go by line, whatever number of items each line takes.
LRESULT LinesAbove(LRESULT start) {
    LRESULT lines = 0;
    for (LRESULT i = 0; i < start; ++i)
        lines += IsStatusContinuation(i) ? 0 : 1;
    return lines;
}

void CALLBACK LetRedrawGo(HWND, UINT, UINT_PTR, DWORD) {
    HoldStatusListRedraw(false);
}

}  // namespace

void LoadStatusIconsOnce() {
    if (g_okIcon == nullptr)
        LoadStatusIcons();
}

HICON IconFor(MessageKind kind) {
    switch (kind) {
        case MessageKind::Error:
            return g_errorIcon;
        case MessageKind::Warning:
            return g_warningIcon;
        default:
            return g_okIcon;
    }
}

// Adds the line as items of at most kMaxItemHeight: the first holds the
// line's string and icon, each further one goes on with the text. False when
// the list took not even the first (the entry is then still the caller's).
bool AddRows(StatusEntry* first) {
    char* spoken = SpokenText(first->kind, first->text);
    const size_t length = strlen(first->text);
    TextBox box = TextBoxOf(StatusListWindow());
    const int lineHeight = LineHeight();
    const size_t perItem = LinesPerStatusRow(lineHeight, kMaxItemHeight);
    StatusEntry* row = first;
    size_t lines = 0;
    bool added = true, firstAdded = false;
    for (size_t position = 0; added;) {
        const TextSpan line = NextStatusLine(first->text, length, position, FitInBox, &box);
        const bool last = line.from >= length;
        if (last || lines == perItem) {
            const int height = static_cast<int>(lines) * lineHeight;
            added = AddItem(row, row == first ? (spoken != nullptr ? spoken : first->text) : "",
                            height > Scaled(kFontHeight) ? height : Scaled(kFontHeight));
            if (!added && row != first)
                FreeRowBlock(row);
            firstAdded = firstAdded || (added && row == first);
            if (last || !added)
                break;
            row = NewEntry();
            if (row == nullptr)
                break;
            *row = StatusEntry{first->text, nullptr, first->kind, true, 0, 0, first->record};
            lines = 0;
        }
        if (lines == 0)
            row->from = static_cast<uint32_t>(line.from);
        row->length = static_cast<uint32_t>(line.from + line.length - row->from);
        ++lines;
        position = line.from + line.length;
    }
    free(spoken);
    return firstAdded;
}

// Has every item of the line that starts at `start` drawn again: Windows
// redraws only the item whose selection changed, not the line's others.
void RepaintLine(LRESULT start) {
    if (start < 0)
        return;
    RECT rect;
    for (LRESULT i = start; SendMessageA(StatusListWindow(), LB_GETITEMRECT, static_cast<WPARAM>(i),
                                         reinterpret_cast<LPARAM>(&rect)) != LB_ERR &&
                            (i == start || IsStatusContinuation(i));
         ++i)
        InvalidateRect(StatusListWindow(), &rect, FALSE);
}

void DelayStatusListRedraw() {
    // Each line that changes the list's length redraws its scroll bar, which
    // is slow: a worker's lines are drawn together, a moment after the first.
    const HWND list = StatusListWindow();
    if (!g_redrawHeld && SetTimer(list, kRedrawTimer, kRedrawDelayMs, LetRedrawGo) != 0)
        HoldStatusListRedraw(true);
}

void HoldStatusListRedraw(bool hold) {
    if (hold == g_redrawHeld)
        return;
    g_redrawHeld = hold;
    SendMessageA(StatusListWindow(), WM_SETREDRAW, hold ? FALSE : TRUE, 0);
    if (!hold) {
        KillTimer(StatusListWindow(), kRedrawTimer);
        InvalidateRect(StatusListWindow(), nullptr, TRUE);
        // Wine's list box puts its top back as it is let redraw again.
        if (void (*const added)() = StatusLinesAddedHook())
            added();
    }
}

void MeasureStatusItem(HWND, MEASUREITEMSTRUCT* measure) {
    measure->itemHeight = g_addingHeight != 0 ? g_addingHeight : static_cast<UINT>(Scaled(kFontHeight));
}

void DrawStatusItem(const DRAWITEMSTRUCT* item) {
    const StatusEntry* entry = reinterpret_cast<const StatusEntry*>(item->itemData);
    if (entry == nullptr || item->itemID == static_cast<UINT>(-1))
        return;
    if (g_drawFont == nullptr)
        g_drawFont = CreateStatusFont();

    // A change of focus alone draws the line whole too, then its focus rectangle.
    // A line's items share its stripe and its selection, which the list
    // marks on the line's first item only.
    const HDC dc = item->hDC;
    const LRESULT index = static_cast<LRESULT>(item->itemID);
    const LRESULT start = entry->continued ? StatusLineStart(index) : index;
    Surface surface = (LinesAbove(start) & 1) ? Surface::StatusRowOdd : Surface::StatusRowEven;
    const bool selected = entry->continued ? SendMessageA(item->hwndItem, LB_GETCURSEL, 0, 0) == start
                                           : (item->itemState & ODS_SELECTED) != 0;
    if (selected)
        surface = Surface::StatusRowSelected;
    const SurfaceColours colours = ColoursOf(surface);
    SetDCBrushColor(dc, colours.fill);
    FillRect(dc, &item->rcItem, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));

    const HGDIOBJ oldFont = SelectObject(dc, g_drawFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colours.text);
    // The lines are broken again as they were when the item was added: from
    // the item's first line on, with the same font and width.
    TextBox box = TextBoxOf(item->hwndItem);
    const int lineHeight = LineHeight();
    const size_t length = strlen(entry->text), end = entry->from + entry->length;
    int top = item->rcItem.top;
    for (size_t position = entry->from; position < end && top < item->rcItem.bottom; top += lineHeight) {
        const TextSpan line = NextStatusLine(entry->text, length, position, FitInBox, &box);
        if (line.from >= end)
            break;
        int units = 0;
        wchar_t* wide = WideFromUtf8(entry->text + line.from, line.length, &units);
        if (wide != nullptr)
            ExtTextOutW(dc, Scaled(kTextLeft), top, ETO_CLIPPED, &item->rcItem, wide, static_cast<UINT>(units),
                        nullptr);
        free(wide);
        position = line.from + line.length;
    }
    SelectObject(dc, oldFont);

    if (entry->icon != nullptr)
        DrawIconEx(dc, Scaled(kIconMargin), item->rcItem.top + Scaled(kIconMargin), entry->icon, g_iconSize,
                   g_iconSize, 0, nullptr, DI_NORMAL);
    DrawRowFocus(item, item->rcItem);
}

// The lines are laid out anew at the new size: a line may now take more
// items or fewer.
void RescaleStatusList() {
    const HICON retired[] = {g_okIcon, g_errorIcon, g_warningIcon};
    LoadStatusIcons();
    if (g_drawFont != nullptr)
        DeleteObject(g_drawFont);
    g_drawFont = nullptr;
    if (g_measureDc != nullptr) {
        const HFONT font = CreateStatusFont();
        const HGDIOBJ old = font != nullptr ? SelectObject(g_measureDc, font) : nullptr;
        if (old != nullptr)
            DeleteObject(old);
    }
    const LRESULT count = SendMessageA(StatusListWindow(), LB_GETCOUNT, 0, 0);
    const LRESULT selected = SendMessageA(StatusListWindow(), LB_GETCURSEL, 0, 0);
    auto* lines = static_cast<StatusEntry**>(calloc(count > 0 ? static_cast<size_t>(count) : 1, sizeof(StatusEntry*)));
    if (lines != nullptr) {
        size_t used = 0, selectedLine = SIZE_MAX;
        for (LRESULT i = 0; i < count; ++i) {
            StatusEntry* entry = StatusRowAt(i);
            if (entry == nullptr || entry->continued)
                continue;
            if (i == StatusLineStart(selected))
                selectedLine = used;
            lines[used++] = entry;
        }
        const bool held = g_redrawHeld;
        HoldStatusListRedraw(true);
        ReleaseRowsKeepingLines();
        for (size_t i = 0; i < used; ++i) {
            const LRESULT firstItem = SendMessageA(StatusListWindow(), LB_GETCOUNT, 0, 0);
            StatusEntry* entry = lines[i];
            entry->icon = IconFor(entry->kind);
            if (!AddRows(entry)) {
                FreeRowBlock(entry->text);
                FreeRowBlock(entry);
            }
            if (i == selectedLine)
                SelectStatusItem(firstItem);
        }
        HoldStatusListRedraw(held);
    }
    free(lines);
    for (HICON icon : retired)
        if (icon != nullptr)
            DestroyIcon(icon);
    InvalidateRect(StatusListWindow(), nullptr, TRUE);
}
