#include "install/status_list.h"

#include <cstdlib>
#include <cstring>

#include "install/progress_log.h"
#include "install/status_report.h"
#include "resource.h"
#include "shell/app_state.h"
#include "shell/display.h"
#include "shell/ui_thread.h"
#include "text/copy_text.h"
#include "text/text.h"

namespace {

// Lines wrap between words; a word longer than the list is wide (a path, a
// SHA-256) wraps within itself rather than being cut off, as in an edit box.
// A path's "&" is a character like any other, never a mnemonic.
constexpr UINT kLineFormat = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX;

// Pixels at 96 dpi.
constexpr int kTextLeft = 20;
constexpr int kIconMargin = 2;
constexpr int kFontHeight = 20;
constexpr UINT_PTR kRedrawTimer = 1;
constexpr UINT kRedrawDelayMs = 50;

// UI thread only.
HWND g_statusList;
ProgressLog g_progressLog;
HICON g_okIcon, g_errorIcon, g_warningIcon;
bool g_redrawHeld;
HDC g_measureDc;  // owns the measuring font for the process's life
HFONT g_drawFont;
int g_iconSize;  // of the icons loaded
// The line being added: its WM_MEASUREITEM comes during LB_ADDSTRING, before
// its item data is set.
const StatusEntry* g_addingEntry;

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

// The height of a line's drawn text at the list's width; an empty text still
// needs room for its icon. 0 when it cannot be measured.
UINT MeasureEntry(HWND list, const StatusEntry* entry) {
    // A memory DC like the screen's, kept with its font selected: measuring a
    // line then asks nothing of the window system.
    if (g_measureDc == nullptr) {
        g_measureDc = CreateCompatibleDC(nullptr);
        if (g_measureDc == nullptr)
            return 0;
        SelectObject(g_measureDc, CreateStatusFont());
    }
    RECT rect;
    GetClientRect(list, &rect);
    rect.left = Scaled(kTextLeft);
    rect.top = 0;
    rect.bottom = 0;
    DrawTextA(g_measureDc, entry->text, -1, &rect, DT_CALCRECT | kLineFormat);
    return static_cast<UINT>(rect.bottom > 0 ? rect.bottom : Scaled(kFontHeight));
}

// What the list keeps as the line's string, for screen readers: an Error or
// Warning line begins with its kind in the current language. Null when
// memory runs out.
char* SpokenText(MessageKind kind, const char* text) {
    if (kind == MessageKind::Ok)
        return CopyText(text);
    const char* word = GetText(kind == MessageKind::Error ? IDS_KIND_ERROR : IDS_KIND_WARNING);
    const size_t wordLength = strlen(word), textLength = strlen(text);
    char* spoken = static_cast<char*>(malloc(wordLength + 2 + textLength + 1));
    if (spoken == nullptr)
        return nullptr;
    memcpy(spoken, word, wordLength);
    memcpy(spoken + wordLength, ": ", 2);
    memcpy(spoken + wordLength + 2, text, textLength + 1);
    return spoken;
}

// Adds the line's string with the entry as its item data; false when the
// list took neither.
bool AddRow(StatusEntry* entry) {
    char* spoken = SpokenText(entry->kind, entry->text);
    g_addingEntry = entry;
    const LRESULT index = SendMessageA(g_statusList, LB_ADDSTRING, 0,
                                       reinterpret_cast<LPARAM>(spoken != nullptr ? spoken : entry->text));
    g_addingEntry = nullptr;
    free(spoken);
    if (index == LB_ERR || index == LB_ERRSPACE)
        return false;
    if (SendMessageA(g_statusList, LB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(entry)) ==
        LB_ERR) {
        SendMessageA(g_statusList, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
        return false;
    }
    return true;
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
    char text[1];  // allocated to the text's length
};

LRESULT AddStatusEntryOnUiThread(void* request) {
    const EntryRequest* line = static_cast<const EntryRequest*>(request);
    AddStatusEntry(line->kind, line->text);
    return 1;
}

// Without memory for a copy the line is lent and sent: slower, never lost.
struct LentProgressRequest {
    MessageKind kind;
    const char* text;
};

LRESULT LogLentProgressTextOnUiThread(void* request) {
    const LentProgressRequest* line = static_cast<const LentProgressRequest*>(request);
    LogProgressText(line->kind, line->text);
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
    LogProgressText(line->kind, line->text);
    free(line);
    return 1;
}

}  // namespace

void SetStatusList(HWND list) {
    g_statusList = list;
}

void AddStatusEntry(MessageKind kind, char* text) {
    if (text == nullptr)
        return;
    if (!OnUiThread()) {
        EntryRequest request = {kind, text};
        if (RunOnUiThread(AddStatusEntryOnUiThread, &request) == 0)
            free(text);
        return;
    }
    if (kind == MessageKind::Error)
        SetChecksPassed(0);
    if (g_okIcon == nullptr)
        LoadStatusIcons();
    StatusEntry* entry = static_cast<StatusEntry*>(calloc(1, sizeof(StatusEntry)));
    if (entry == nullptr) {
        free(text);
        return;
    }
    entry->text = text;
    entry->icon = IconFor(kind);
    entry->kind = kind;
    if (!AddRow(entry)) {
        free(entry->text);
        free(entry);
    }
}

void AddStatusLine(MessageKind kind, unsigned id, const char* argument) {
    AddStatusEntry(kind, CopyText(GetText(id, argument)));
}

void LogProgressText(MessageKind kind, const char* text) {
    if (!OnUiThread()) {
        if (text == nullptr)
            return;
        const size_t length = strlen(text);
        auto* request = static_cast<ProgressRequest*>(malloc(sizeof(ProgressRequest) + length));
        if (request == nullptr) {
            LentProgressRequest lent = {kind, text};
            RunOnUiThread(LogLentProgressTextOnUiThread, &lent);
            return;
        }
        request->kind = kind;
        memcpy(request->text, text, length + 1);
        // Not run only when the window is gone: the line is then ours to free.
        if (!QueueOnUiThread(LogProgressTextOnUiThread, request))
            free(request);
        return;
    }
    AppendProgressRecord(&g_progressLog, kind, text);
    AddStatusEntry(kind, CopyText(text));
}

void LogProgress(MessageKind kind, unsigned id, const char* argument) {
    // Formatted on the calling thread, in its own text buffer.
    LogProgressText(kind, GetText(id, argument));
}

void LogProgressNumber(MessageKind kind, unsigned id, int number) {
    LogProgressText(kind, GetText(id, number));
}

void ReplayProgressLog() {
    for (const ProgressRecord* record = g_progressLog.first; record != nullptr; record = record->next)
        AddStatusEntry(record->kind, CopyText(record->text));
}

void ClearProgressLog() {
    ReleaseProgressLog(&g_progressLog);
}

void ClearStatusList() {
    const LRESULT count = SendMessageA(g_statusList, LB_GETCOUNT, 0, 0);
    for (LRESULT i = count - 1; i >= 0; --i) {
        StatusEntry* entry =
            reinterpret_cast<StatusEntry*>(SendMessageA(g_statusList, LB_GETITEMDATA, static_cast<WPARAM>(i), 0));
        if (entry != nullptr && reinterpret_cast<LRESULT>(entry) != LB_ERR) {
            free(entry->text);
            free(entry);
        }
        SendMessageA(g_statusList, LB_SETITEMDATA, static_cast<WPARAM>(i), 0);
    }
    // One message for the lot: deleting line by line lays the list out anew each time.
    SendMessageA(g_statusList, LB_RESETCONTENT, 0, 0);
}

void HoldStatusListRedraw(bool hold) {
    if (hold == g_redrawHeld)
        return;
    g_redrawHeld = hold;
    SendMessageA(g_statusList, WM_SETREDRAW, hold ? FALSE : TRUE, 0);
    if (!hold) {
        KillTimer(g_statusList, kRedrawTimer);
        InvalidateRect(g_statusList, nullptr, TRUE);
    }
}

char* StatusListReport() {
    const LRESULT count = SendMessageA(g_statusList, LB_GETCOUNT, 0, 0);
    auto* lines = static_cast<ReportLine*>(calloc(count > 0 ? static_cast<size_t>(count) : 1, sizeof(ReportLine)));
    size_t used = 0;
    for (LRESULT i = 0; lines != nullptr && i < count; ++i) {
        const LRESULT data = SendMessageA(g_statusList, LB_GETITEMDATA, static_cast<WPARAM>(i), 0);
        const StatusEntry* entry = reinterpret_cast<const StatusEntry*>(data);
        if (entry != nullptr && data != LB_ERR)
            lines[used++] = ReportLine{entry->kind, entry->text};
    }
    // Each word in a copy of its own: every GetText reuses the same buffer.
    char* error = CopyText(GetText(IDS_KIND_ERROR));
    char* ok = CopyText(GetText(IDS_KIND_OK));
    char* warning = CopyText(GetText(IDS_KIND_WARNING));
    char* report = nullptr;
    if (lines != nullptr && error != nullptr && ok != nullptr && warning != nullptr)
        report = BuildStatusReport(lines, used, KindWords{error, ok, warning});
    free(error);
    free(ok);
    free(warning);
    free(lines);
    return report;
}

void MeasureStatusItem(HWND list, MEASUREITEMSTRUCT* measure) {
    const UINT height = g_addingEntry != nullptr ? MeasureEntry(list, g_addingEntry) : 0;
    measure->itemHeight = height != 0 ? height : static_cast<UINT>(Scaled(kFontHeight));
}

void DrawStatusItem(const DRAWITEMSTRUCT* item) {
    const StatusEntry* entry = reinterpret_cast<const StatusEntry*>(item->itemData);
    if (entry == nullptr || item->itemID == static_cast<UINT>(-1))
        return;
    if (g_drawFont == nullptr)
        g_drawFont = CreateStatusFont();

    // A change of focus alone draws the line whole too, then its focus rectangle.
    const HDC dc = item->hDC;
    Surface surface = (item->itemID & 1) ? Surface::StatusRowOdd : Surface::StatusRowEven;
    if (item->itemState & ODS_SELECTED)
        surface = Surface::StatusRowSelected;
    const SurfaceColours colours = ColoursOf(surface);
    SetDCBrushColor(dc, colours.fill);
    FillRect(dc, &item->rcItem, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));

    RECT text = item->rcItem;
    text.left = Scaled(kTextLeft);
    const HGDIOBJ oldFont = SelectObject(dc, g_drawFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colours.text);
    DrawTextA(dc, entry->text, -1, &text, kLineFormat);
    SelectObject(dc, oldFont);

    if (entry->icon != nullptr)
        DrawIconEx(dc, Scaled(kIconMargin), item->rcItem.top + Scaled(kIconMargin), entry->icon, g_iconSize,
                   g_iconSize, 0, nullptr, DI_NORMAL);
    DrawRowFocus(item, item->rcItem);
}

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
    for (LRESULT i = 0; i < count; ++i) {
        auto* entry =
            reinterpret_cast<StatusEntry*>(SendMessageA(g_statusList, LB_GETITEMDATA, static_cast<WPARAM>(i), 0));
        if (entry == nullptr || reinterpret_cast<LRESULT>(entry) == LB_ERR)
            continue;
        entry->icon = IconFor(entry->kind);
        const UINT height = MeasureEntry(g_statusList, entry);
        if (height != 0)
            SendMessageA(g_statusList, LB_SETITEMHEIGHT, static_cast<WPARAM>(i), height);
    }
    for (HICON icon : retired)
        if (icon != nullptr)
            DestroyIcon(icon);
    InvalidateRect(g_statusList, nullptr, TRUE);
}

void FocusLastStatusLine() {
    const LRESULT count = SendMessageA(g_statusList, LB_GETCOUNT, 0, 0);
    if (count <= 0 || count == LB_ERR)
        return;
    SendMessageA(g_statusList, LB_SETCURSEL, static_cast<WPARAM>(count - 1), 0);
    // Only while the wizard is the active window and shows the list: focus
    // must not pull it in front of another program.
    const HWND main = GetMainWindow();
    if (GetActiveWindow() == main && IsWindowVisible(g_statusList))
        SendMessageA(main, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(g_statusList), TRUE);
}
