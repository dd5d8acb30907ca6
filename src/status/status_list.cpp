#include "status/status_list.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "status/progress_log.h"
#include "status/status_report.h"
#include "status/status_rows.h"
#include "resource.h"
#include "shell/app_state.h"
#include "shell/display.h"
#include "shell/ui_thread.h"
#include "text/copy_text.h"
#include "text/text.h"
#include "text/unicode_text.h"
#include "text/utf8_text.h"

namespace {

// The item last selected, to tell which way a selection moved. UI thread only.
LRESULT g_selectedItem = -1;
// While a check run adds its lines, where the next goes: above the progress
// log's lines, which stay in the list from one check run to the next.
// Negative outside a check run: lines then go at the end.
LRESULT g_checkInsert = -1;

// Windows refuses LB_SETITEMHEIGHT above this: a taller line takes more items.
constexpr int kMaxItemHeight = 255;

// Pixels at 96 dpi.
constexpr int kTextLeft = 20;
constexpr int kIconMargin = 2;
constexpr int kFontHeight = 20;
constexpr UINT_PTR kRedrawTimer = 1;
constexpr UINT kRedrawDelayMs = 50;

// UI thread only.
HWND g_statusList;
void (*g_linesAdded)();
ProgressLog g_progressLog;
HICON g_okIcon, g_errorIcon, g_warningIcon;
bool g_redrawHeld;
HDC g_measureDc;  // owns the measuring font for the process's life
HFONT g_drawFont;
int g_iconSize;  // of the icons loaded
// The height of the item being added: its WM_MEASUREITEM comes during
// LB_ADDSTRING, before its item data is set.
UINT g_addingHeight;
// The outcome of the write that runs or ran last, as a screen reader says
// it: the Error that ended it, or its done line. Said once, then freed.
char* g_outcome;
// Every line's entries and text, in a heap of the list's own: made and
// freed on this thread while other threads take and give back blocks of
// their own, in the heap that every thread shares they were scattered among
// those, and the program grew with the machine's load, not with its lines.
HANDLE g_rowHeap;

void* NewRowBlock(size_t size) {
    if (g_rowHeap == nullptr)
        g_rowHeap = HeapCreate(0, 0, 0);
    return g_rowHeap != nullptr ? HeapAlloc(g_rowHeap, HEAP_ZERO_MEMORY, size) : nullptr;
}

void FreeRowBlock(void* block) {
    if (block != nullptr)
        HeapFree(g_rowHeap, 0, block);
}

StatusEntry* NewEntry() {
    return static_cast<StatusEntry*>(NewRowBlock(sizeof(StatusEntry)));
}

// A copy of `text` in the list's heap, or null.
char* NewRowText(const char* text) {
    const size_t size = strlen(text) + 1;
    char* copy = static_cast<char*>(NewRowBlock(size));
    if (copy != nullptr)
        memcpy(copy, text, size);
    return copy;
}

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

// What the list keeps as the line's string, for screen readers: an Error or
// Warning line begins with its kind in the current language. Null when
// memory runs out.
char* SpokenText(MessageKind kind, const char* text) {
    if (kind == MessageKind::Ok)
        return CopyText(text);
    const char* word = GetTextUtf8(kind == MessageKind::Error ? IDS_KIND_ERROR : IDS_KIND_WARNING);
    const size_t wordLength = strlen(word), textLength = strlen(text);
    char* spoken = static_cast<char*>(malloc(wordLength + 2 + textLength + 1));
    if (spoken == nullptr)
        return nullptr;
    memcpy(spoken, word, wordLength);
    memcpy(spoken + wordLength, ": ", 2);
    memcpy(spoken + wordLength + 2, text, textLength + 1);
    return spoken;
}

// Adds one item of `height` with `row` as its item data; false when the list
// took neither. The list is a Unicode window: its string keeps every
// character of the UTF-8 `spoken`.
bool AddItem(StatusEntry* row, const char* spoken, int height) {
    wchar_t* wide = WideFromUtf8(spoken);
    if (wide == nullptr)
        return false;
    const bool inserted = row->record == nullptr && g_checkInsert >= 0;
    g_addingHeight = static_cast<UINT>(height < kMaxItemHeight ? height : kMaxItemHeight);
    const LRESULT index = inserted ? SendMessageW(g_statusList, LB_INSERTSTRING, static_cast<WPARAM>(g_checkInsert),
                                                  reinterpret_cast<LPARAM>(wide))
                                   : SendMessageW(g_statusList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide));
    g_addingHeight = 0;
    free(wide);
    if (index == LB_ERR || index == LB_ERRSPACE)
        return false;
    if (SendMessageA(g_statusList, LB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(row)) ==
        LB_ERR) {
        SendMessageA(g_statusList, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
        return false;
    }
    if (inserted)
        ++g_checkInsert;
    return true;
}

// Adds the line as items of at most kMaxItemHeight: the first holds the
// line's string and icon, each further one goes on with the text. False when
// the list took not even the first (the entry is then still the caller's).
bool AddRows(StatusEntry* first) {
    char* spoken = SpokenText(first->kind, first->text);
    const size_t length = strlen(first->text);
    TextBox box = TextBoxOf(g_statusList);
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

StatusEntry* EntryAt(LRESULT index) {
    const LRESULT data = SendMessageA(g_statusList, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data != LB_ERR ? reinterpret_cast<StatusEntry*>(data) : nullptr;
}

bool IsContinuation(LRESULT index) {
    const StatusEntry* entry = EntryAt(index);
    return entry != nullptr && entry->continued;
}

// The first item of the line that item `index` belongs to.
LRESULT LineStart(LRESULT index) {
    while (index > 0 && IsContinuation(index))
        --index;
    return index;
}

// How many lines stand above the one that starts at item `start`: the rows'
// stripes go by line, whatever number of items each line takes.
LRESULT LinesAbove(LRESULT start) {
    LRESULT lines = 0;
    for (LRESULT i = 0; i < start; ++i)
        lines += IsContinuation(i) ? 0 : 1;
    return lines;
}

// Has every item of the line that starts at `start` drawn again: Windows
// redraws only the item whose selection changed, not the line's others.
void RepaintLine(LRESULT start) {
    if (start < 0)
        return;
    RECT rect;
    for (LRESULT i = start; SendMessageA(g_statusList, LB_GETITEMRECT, static_cast<WPARAM>(i),
                                         reinterpret_cast<LPARAM>(&rect)) != LB_ERR &&
                            (i == start || IsContinuation(i));
         ++i)
        InvalidateRect(g_statusList, &rect, FALSE);
}

// Empties the list and frees its continuation rows' entries; each line's
// first entry, with its text, is then the caller's.
void ReleaseRowsKeepingLines() {
    const LRESULT count = SendMessageA(g_statusList, LB_GETCOUNT, 0, 0);
    for (LRESULT i = count - 1; i >= 0; --i) {
        StatusEntry* entry = EntryAt(i);
        if (entry != nullptr && entry->continued)
            FreeRowBlock(entry);
        SendMessageA(g_statusList, LB_SETITEMDATA, static_cast<WPARAM>(i), 0);
    }
    g_selectedItem = -1;
    // One message for the lot: deleting line by line lays the list out anew each time.
    SendMessageA(g_statusList, LB_RESETCONTENT, 0, 0);
}

// Takes out every line but the progress log's: a check run's lines, and any
// added since. The log's lines stay where they are: a session of many writes
// holds hundreds, and making them all again at every check run was slow and
// scattered the heap.
void ReleaseCheckRows() {
    for (LRESULT i = SendMessageA(g_statusList, LB_GETCOUNT, 0, 0) - 1; i >= 0; --i) {
        StatusEntry* entry = EntryAt(i);
        if (entry != nullptr && entry->record != nullptr)
            continue;
        if (entry != nullptr && !entry->continued)
            FreeRowBlock(entry->text);
        FreeRowBlock(entry);
        SendMessageA(g_statusList, LB_DELETESTRING, static_cast<WPARAM>(i), 0);
    }
    g_selectedItem = -1;
    SendMessageA(g_statusList, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
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

// A status line on its way to the UI thread: an entry hands its text over,
// a progress line lends it for the UI thread to copy.
struct EntryRequest {
    MessageKind kind;
    char* text;
};
// A progress line on its way from a worker: posted, so the worker never waits
// for the window, and freed by the UI thread.
struct ProgressRequest {
    MessageKind kind;
    bool outcome;
    char text[1];  // allocated to the text's length
};

LRESULT AddStatusEntryOnUiThread(void* request) {
    const EntryRequest* line = static_cast<const EntryRequest*>(request);
    AddStatusUtf8(line->kind, line->text);
    return 1;
}

// Without memory for a copy the line is lent and sent: slower, never lost.
struct LentProgressRequest {
    MessageKind kind;
    bool outcome;
    const char* text;
};

void LogLine(MessageKind kind, const char* text, bool outcome);
void AddRowText(MessageKind kind, char* text, const ProgressRecord* record);

LRESULT LogLentProgressTextOnUiThread(void* request) {
    const LentProgressRequest* line = static_cast<const LentProgressRequest*>(request);
    LogLine(line->kind, line->text, line->outcome);
    return 1;
}

void CALLBACK LetRedrawGo(HWND, UINT, UINT_PTR, DWORD) {
    HoldStatusListRedraw(false);
}

LRESULT LogProgressTextOnUiThread(void* request) {
    ProgressRequest* line = static_cast<ProgressRequest*>(request);
    // Each line that changes the list's length redraws its scroll bar, which
    // is slow: a worker's lines are drawn together, a moment after the first.
    if (!g_redrawHeld && SetTimer(g_statusList, kRedrawTimer, kRedrawDelayMs, LetRedrawGo) != 0)
        HoldStatusListRedraw(true);
    LogLine(line->kind, line->text, line->outcome);
    free(line);
    return 1;
}

// An Error logged by a write ends it; its done line is marked by the writer.
void NoteOutcome(MessageKind kind, const char* text, bool outcome) {
    if (!outcome && kind != MessageKind::Error)
        return;
    char* spoken = SpokenText(kind, text);
    if (spoken == nullptr)
        return;
    free(g_outcome);
    g_outcome = spoken;
}

void LogLine(MessageKind kind, const char* text, bool outcome) {
    if (!OnUiThread()) {
        if (text == nullptr)
            return;
        const size_t length = strlen(text);
        auto* request = static_cast<ProgressRequest*>(malloc(sizeof(ProgressRequest) + length));
        if (request == nullptr) {
            LentProgressRequest lent = {kind, outcome, text};
            RunOnUiThread(LogLentProgressTextOnUiThread, &lent);
            return;
        }
        request->kind = kind;
        request->outcome = outcome;
        memcpy(request->text, text, length + 1);
        // Not run only when the window is gone: the line is then ours to free.
        if (!QueueOnUiThread(LogProgressTextOnUiThread, request))
            free(request);
        return;
    }
    if (text == nullptr)
        return;
    const bool recorded = AppendProgressRecord(&g_progressLog, kind, text);
    NoteOutcome(kind, text, outcome);
    AddRowText(kind, NewRowText(text), recorded ? g_progressLog.last : nullptr);
}

// LogLine for a text in the ANSI code page.
void LogAnsiLine(MessageKind kind, const char* text, bool outcome) {
    char* utf8 = text != nullptr ? Utf8FromAnsi(text) : nullptr;
    // Without memory for the copy the text goes as it is: whole when it is ASCII.
    LogLine(kind, utf8 != nullptr ? utf8 : text, outcome);
    free(utf8);
}

}  // namespace

void SetStatusList(HWND list) {
    g_statusList = list;
}

void SetStatusLinesAddedHook(void (*hook)()) {
    g_linesAdded = hook;
}

void AddStatusEntry(MessageKind kind, char* text) {
    char* utf8 = text != nullptr ? Utf8FromAnsi(text) : nullptr;
    if (utf8 == nullptr)
        return AddStatusUtf8(kind, text);
    free(text);
    AddStatusUtf8(kind, utf8);
}

void AddStatusUtf8(MessageKind kind, char* text) {
    if (text == nullptr)
        return;
    if (!OnUiThread()) {
        EntryRequest request = {kind, text};
        if (RunOnUiThread(AddStatusEntryOnUiThread, &request) == 0)
            free(text);
        return;
    }
    char* kept = NewRowText(text);
    free(text);
    AddRowText(kind, kept, nullptr);
}

namespace {

// Adds the line whose `text` is in the list's heap, and owns it; `record` is
// the progress log's line it shows, if it is one.
void AddRowText(MessageKind kind, char* text, const ProgressRecord* record) {
    if (text == nullptr)
        return;
    if (kind == MessageKind::Error)
        SetChecksPassed(0);
    if (g_okIcon == nullptr)
        LoadStatusIcons();
    StatusEntry* entry = NewEntry();
    if (entry == nullptr) {
        FreeRowBlock(text);
        return;
    }
    entry->text = text;
    entry->icon = IconFor(kind);
    entry->kind = kind;
    entry->record = record;
    if (!AddRows(entry)) {
        FreeRowBlock(entry->text);
        FreeRowBlock(entry);
    }
    if (g_linesAdded != nullptr)
        g_linesAdded();
}

}  // namespace

void AddStatusLine(MessageKind kind, unsigned id, const char* argument) {
    AddStatusEntry(kind, CopyText(GetText(id, argument)));
}

void AddStatusPathLine(MessageKind kind, unsigned id, const char* path) {
    AddStatusUtf8(kind, CopyText(GetTextUtf8(id, path)));
}

void LogProgressPath(MessageKind kind, unsigned id, const char* path) {
    LogLine(kind, GetTextUtf8(id, path), false);
}

void LogProgressText(MessageKind kind, const char* text) {
    LogAnsiLine(kind, text, false);
}

void LogProgressUtf8(MessageKind kind, const char* text) {
    LogLine(kind, text, false);
}

void LogProgress(MessageKind kind, unsigned id, const char* argument) {
    // Formatted on the calling thread, in its own text buffer.
    LogProgressText(kind, GetText(id, argument));
}

void LogProgressNumber(MessageKind kind, unsigned id, int number) {
    LogProgressText(kind, GetText(id, number));
}

void LogProgressOutcome(MessageKind kind, unsigned id, const char* argument) {
    LogAnsiLine(kind, GetText(id, argument), true);
}

void ReplayProgressLog() {
    g_checkInsert = -1;
    // The log's lines that the list shows already stay; those logged since
    // come after them.
    const ProgressRecord* shown = nullptr;
    for (LRESULT i = SendMessageA(g_statusList, LB_GETCOUNT, 0, 0) - 1; i >= 0 && shown == nullptr; --i) {
        const StatusEntry* entry = EntryAt(i);
        shown = entry != nullptr ? entry->record : nullptr;
    }
    const ProgressRecord* const from = shown != nullptr ? shown->next : g_progressLog.first;
    // An Error in the log stops Start at every check run, as its line did
    // when it was added.
    for (const ProgressRecord* record = g_progressLog.first; record != from; record = record->next)
        if (record->kind == MessageKind::Error)
            SetChecksPassed(0);
    // The list is told first how many lines come: its array of items is then
    // made once at its size, not grown step by step.
    WPARAM items = 0;
    LPARAM bytes = 0;
    for (const ProgressRecord* record = from; record != nullptr; record = record->next) {
        ++items;
        bytes += static_cast<LPARAM>((strlen(record->text) + 1) * sizeof(wchar_t));
    }
    if (items > 0)
        SendMessageW(g_statusList, LB_INITSTORAGE, items, bytes);
    // The newest line is brought into view once, after the last.
    void (*const added)() = g_linesAdded;
    g_linesAdded = nullptr;
    for (const ProgressRecord* record = from; record != nullptr; record = record->next)
        AddRowText(record->kind, NewRowText(record->text), record);
    g_linesAdded = added;
    if (added != nullptr)
        added();
}

void ClearProgressLog() {
    // The lines shown stay until the next check run takes them out.
    const LRESULT count = g_statusList != nullptr ? SendMessageA(g_statusList, LB_GETCOUNT, 0, 0) : 0;
    for (LRESULT i = 0; i < count; ++i)
        if (StatusEntry* entry = EntryAt(i))
            entry->record = nullptr;
    ReleaseProgressLog(&g_progressLog);
}

void ClearStatusList() {
    ReleaseCheckRows();
    g_checkInsert = 0;
}

void HoldStatusListRedraw(bool hold) {
    if (hold == g_redrawHeld)
        return;
    g_redrawHeld = hold;
    SendMessageA(g_statusList, WM_SETREDRAW, hold ? FALSE : TRUE, 0);
    if (!hold) {
        KillTimer(g_statusList, kRedrawTimer);
        InvalidateRect(g_statusList, nullptr, TRUE);
        // Wine's list box puts its top back as it is let redraw again.
        if (g_linesAdded != nullptr)
            g_linesAdded();
    }
}

char* StatusListReport() {
    const LRESULT count = SendMessageA(g_statusList, LB_GETCOUNT, 0, 0);
    auto* lines = static_cast<ReportLine*>(calloc(count > 0 ? static_cast<size_t>(count) : 1, sizeof(ReportLine)));
    size_t used = 0;
    for (LRESULT i = 0; lines != nullptr && i < count; ++i) {
        const LRESULT data = SendMessageA(g_statusList, LB_GETITEMDATA, static_cast<WPARAM>(i), 0);
        const StatusEntry* entry = reinterpret_cast<const StatusEntry*>(data);
        // A line's continuations hold no line of their own.
        if (entry != nullptr && data != LB_ERR && !entry->continued)
            lines[used++] = ReportLine{entry->kind, entry->text};
    }
    // Each word in a copy of its own: every GetText reuses the same buffer.
    char* error = CopyText(GetTextUtf8(IDS_KIND_ERROR));
    char* ok = CopyText(GetTextUtf8(IDS_KIND_OK));
    char* warning = CopyText(GetTextUtf8(IDS_KIND_WARNING));
    char* report = nullptr;
    if (lines != nullptr && error != nullptr && ok != nullptr && warning != nullptr)
        report = BuildStatusReport(lines, used, KindWords{error, ok, warning});
    free(error);
    free(ok);
    free(warning);
    free(lines);
    return report;
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
    const LRESULT start = entry->continued ? LineStart(index) : index;
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
    const LRESULT count = SendMessageA(g_statusList, LB_GETCOUNT, 0, 0);
    const LRESULT selected = SendMessageA(g_statusList, LB_GETCURSEL, 0, 0);
    auto* lines = static_cast<StatusEntry**>(calloc(count > 0 ? static_cast<size_t>(count) : 1, sizeof(StatusEntry*)));
    if (lines != nullptr) {
        size_t used = 0, selectedLine = SIZE_MAX;
        for (LRESULT i = 0; i < count; ++i) {
            StatusEntry* entry = EntryAt(i);
            if (entry == nullptr || entry->continued)
                continue;
            if (i == LineStart(selected))
                selectedLine = used;
            lines[used++] = entry;
        }
        const bool held = g_redrawHeld;
        HoldStatusListRedraw(true);
        ReleaseRowsKeepingLines();
        for (size_t i = 0; i < used; ++i) {
            const LRESULT firstItem = SendMessageA(g_statusList, LB_GETCOUNT, 0, 0);
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
    InvalidateRect(g_statusList, nullptr, TRUE);
}

void SelectStatusItem(LRESULT index) {
    const LRESULT before = g_selectedItem;
    g_selectedItem = index;
    SendMessageA(g_statusList, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    RepaintLine(before);
    RepaintLine(index);
}

void RememberStatusSelection(LRESULT index) {
    RepaintLine(g_selectedItem);
    g_selectedItem = index;
    RepaintLine(index);
}

LRESULT LastStatusSelection() {
    return g_selectedItem;
}

HWND StatusListWindow() {
    return g_statusList;
}

const StatusEntry* StatusItemEntry(LRESULT index) {
    return EntryAt(index);
}

LRESULT StatusLineStart(LRESULT index) {
    return LineStart(index);
}

char* TakeWriteOutcome() {
    char* outcome = g_outcome;
    g_outcome = nullptr;
    return outcome;
}
