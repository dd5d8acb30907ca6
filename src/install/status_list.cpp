#include "install/status_list.h"

#include <cstdlib>
#include <cstring>

#include "install/progress_log.h"
#include "resource.h"
#include "shell/app_state.h"
#include "shell/ui_thread.h"
#include "text/copy_text.h"
#include "text/text.h"

namespace {

constexpr COLORREF kOddRowColour = 0x00FFEBCD;
constexpr COLORREF kEvenRowColour = 0x00FFFADC;
constexpr int kTextLeft = 20;

// UI thread only.
HWND g_statusList;
ProgressLog g_progressLog;
HICON g_okIcon, g_errorIcon, g_warningIcon;
HFONT g_measureFont, g_drawFont;
HBRUSH g_oddBrush, g_evenBrush;

HICON LoadStatusIcon(int id) {
    return static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
}

HFONT CreateStatusFont() {
    return CreateFontA(20, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0, "MS Shell Dlg");
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
struct ProgressRequest {
    MessageKind kind;
    const char* text;
};

LRESULT AddStatusEntryOnUiThread(void* request) {
    const EntryRequest* line = static_cast<const EntryRequest*>(request);
    AddStatusEntry(line->kind, line->text);
    return 1;
}

LRESULT LogProgressTextOnUiThread(void* request) {
    const ProgressRequest* line = static_cast<const ProgressRequest*>(request);
    LogProgressText(line->kind, line->text);
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
    if (g_okIcon == nullptr) {
        g_okIcon = LoadStatusIcon(IDI_STATUS_OK);
        g_errorIcon = LoadStatusIcon(IDI_STATUS_ERROR);
        g_warningIcon = LoadStatusIcon(IDI_STATUS_WARNING);
    }
    StatusEntry* entry = static_cast<StatusEntry*>(calloc(1, sizeof(StatusEntry)));
    if (entry == nullptr) {
        free(text);
        return;
    }
    entry->text = text;
    entry->icon = IconFor(kind);
    entry->kind = kind;
    const LRESULT index = SendMessageA(g_statusList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    if (index == LB_ERR || index == LB_ERRSPACE) {
        free(entry->text);
        free(entry);
    }
}

void AddStatusLine(MessageKind kind, unsigned id, const char* argument) {
    AddStatusEntry(kind, CopyText(GetText(id, argument)));
}

void LogProgressText(MessageKind kind, const char* text) {
    if (!OnUiThread()) {
        ProgressRequest request = {kind, text};
        RunOnUiThread(LogProgressTextOnUiThread, &request);
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
        SendMessageA(g_statusList, LB_DELETESTRING, static_cast<WPARAM>(i), 0);
    }
}

void MeasureStatusItem(HWND list, MEASUREITEMSTRUCT* measure) {
    const StatusEntry* entry = reinterpret_cast<const StatusEntry*>(measure->itemData);
    if (entry == nullptr)
        return;
    if (g_measureFont == nullptr)
        g_measureFont = CreateStatusFont();
    const HDC dc = GetDC(list);
    const HGDIOBJ oldFont = SelectObject(dc, g_measureFont);
    RECT rect;
    GetClientRect(list, &rect);
    rect.left = kTextLeft;
    rect.top = 0;
    rect.bottom = 0;
    DrawTextA(dc, entry->text, -1, &rect, DT_CALCRECT | DT_WORDBREAK);
    SelectObject(dc, oldFont);
    ReleaseDC(list, dc);
    // An empty text still needs room for its icon.
    measure->itemHeight = rect.bottom > 0 ? static_cast<UINT>(rect.bottom) : 20;
}

void DrawStatusItem(const DRAWITEMSTRUCT* item) {
    const StatusEntry* entry = reinterpret_cast<const StatusEntry*>(item->itemData);
    if (entry == nullptr || item->itemID == static_cast<UINT>(-1))
        return;
    if (g_oddBrush == nullptr) {
        g_oddBrush = CreateSolidBrush(kOddRowColour);
        g_evenBrush = CreateSolidBrush(kEvenRowColour);
    }
    if (g_drawFont == nullptr)
        g_drawFont = CreateStatusFont();

    const HDC dc = item->hDC;
    FillRect(dc, &item->rcItem, (item->itemID & 1) ? g_oddBrush : g_evenBrush);

    RECT text = item->rcItem;
    text.left = kTextLeft;
    const HGDIOBJ oldFont = SelectObject(dc, g_drawFont);
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, entry->text, -1, &text, DT_WORDBREAK);
    SelectObject(dc, oldFont);

    if (entry->icon != nullptr)
        DrawIconEx(dc, 2, item->rcItem.top + 2, entry->icon, 16, 16, 0, nullptr, DI_NORMAL);
}
