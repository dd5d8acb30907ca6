// The verbs that work the wizard's window from another process.
#include "window_verbs.h"

#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Both begin with two pointer-sized fields (a pointer or the root path, and a
// pointer), followed by `tailSize` bytes of 32-bit fields: at 4-byte offsets
// in the 32-bit program (which runs under WOW64 beside a 64-bit reader),
// 8-byte in the 64-bit one.
bool ReadListEntry(Remote& remote, HWND list, LRESULT data, uint64_t pointers[2], uint8_t* tail, size_t tailSize) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    BOOL wow64 = FALSE;
    const bool known = process && IsWow64Process(process, &wow64);
    if (process)
        CloseHandle(process);
    const size_t width = wow64 || sizeof(void*) == 4 ? 4 : 8;
    uint8_t bytes[32];
    if (!known || !data || data == LB_ERR || 2 * width + tailSize > sizeof bytes ||
        !remote.Read((const void*)data, bytes, 2 * width + tailSize))
        return false;
    for (int i = 0; i < 2; ++i) {
        pointers[i] = 0;
        memcpy(&pointers[i], bytes + i * width, width);
    }
    memcpy(tail, bytes + 2 * width, tailSize);
    return true;
}

bool ReadStatusEntry(Remote& remote, HWND list, LRESULT data, StatusEntry* entry) {
    uint64_t pointers[2];
    uint8_t tail[12];  // kind, continued, padding, from, length
    if (!ReadListEntry(remote, list, data, pointers, tail, sizeof tail))
        return false;
    entry->text = pointers[0];
    entry->icon = pointers[1];
    entry->kind = tail[0];
    entry->continued = tail[1] != 0;
    memcpy(&entry->from, tail + 4, 4);
    memcpy(&entry->length, tail + 8, 4);
    return true;
}

bool ReadDriveEntry(Remote& remote, HWND list, LRESULT data, DriveEntry* entry) {
    uint64_t pointers[2];
    uint8_t tail[4];
    if (!ReadListEntry(remote, list, data, pointers, tail, sizeof tail))
        return false;
    memcpy(entry->rootPath, &pointers[0], sizeof entry->rootPath);
    entry->imageList = pointers[1];
    memcpy(&entry->iconIndex, tail, 4);
    return true;
}

int RequireArgs(const Context& context, int count, const char* usage) {
    return context.argc < count ? Fail(kUsage, "usage: %s", usage) : kOk;
}

// Resolves "<pane> <id>" from argv[first], argv[first + 1].
HWND FindControl(const Context& context, int first, int* code) {
    const char* paneName = context.argv[first];
    HWND pane = FindPane(context.main, paneName);
    if (!pane) {
        *code = Fail(kNotFound, "pane '%s' not found", paneName);
        return nullptr;
    }
    int id = atoi(context.argv[first + 1]);
    HWND control = GetDlgItem(pane, id);
    if (!control)
        *code = Fail(kNotFound, "no control %d on pane '%s'", id, paneName);
    return control;
}

// "control <id> on pane '<pane>'", from argv[first], argv[first + 1].
std::string ControlName(const Context& context, int first) {
    return std::string("control ") + context.argv[first + 1] + " on pane '" + context.argv[first] + "'";
}

// "E" or "E:".
bool IsDriveLetter(const char* text) {
    return text[0] && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) &&
           (!text[1] || text[1] == ':');
}

int CmdTitle(Context& context) {
    char title[1024] = "";
    if (!Send(context.main, WM_GETTEXT, sizeof title, (LPARAM)title))
        return Fail(kFailed, "the window does not answer WM_GETTEXT");
    Print("%s\n", Escape(title).c_str());
    return kOk;
}

// The string of a list-box row, as a screen reader gets it: the window
// system carries LB_GETTEXT across processes for a list with stored strings.
// Asked in UTF-16: Wine hands that across whatever the caller's character set;
// printed in UTF-8, so that a line naming a path in any script reads as shown.
bool RowString(HWND list, LRESULT index, std::string* out) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, index, 0, SMTO_NORMAL, kSendTimeoutMs, &length) ||
        (LRESULT)length < 0 || length > 4096)
        return false;
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXT, index, (LPARAM)&text[0], SMTO_NORMAL, kSendTimeoutMs, &copied) ||
        copied > length)
        return false;
    char narrow[4 * 4096 + 1];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)copied, narrow, sizeof narrow, nullptr, nullptr);
    if (bytes < 0 || (bytes == 0 && copied > 0))
        return false;
    out->assign(narrow, bytes);
    return true;
}

int CmdPanes(Context& context) {
    HWND list = GetDlgItem(context.main, kPaneList);
    LRESULT count = SendOrZero(list, LB_GETCOUNT);
    LRESULT selected = SendOrZero(list, LB_GETCURSEL);
    for (LRESULT i = 0; i < count; ++i) {
        std::string title;
        if (!RowString(list, i, &title))
            return Fail(kFailed, "cannot read the title of entry %d", (int)i);
        Print("%d\t%d\t%s\n", (int)i, i == selected ? 1 : 0, Escape(title).c_str());
    }
    return kOk;
}

// strings <pane> <id>: each row's string of a list box, one a line.
int CmdStrings(Context& context) {
    if (int code = RequireArgs(context, 4, "strings <pane> <id>"))
        return code;
    int code = kOk;
    HWND list = FindControl(context, 2, &code);
    if (!list)
        return code;
    LRESULT count = SendOrZero(list, LB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i) {
        std::string text;
        if (!RowString(list, i, &text))
            return Fail(kFailed, "row %d has no string", (int)i);
        Print("%s\n", Escape(text).c_str());
    }
    return kOk;
}

int CmdShown(Context& context) {
    std::string shown;
    for (const PaneKind& pane : kPanes) {
        HWND window = FindChildDialog(context.main, pane.marker);
        if (window && IsWindowVisible(window))
            shown += shown.empty() ? pane.name : std::string(" ") + pane.name;
    }
    Print("%s\n", shown.empty() ? "none" : shown.c_str());
    return kOk;
}

int CmdSelect(Context& context) {
    if (int code = RequireArgs(context, 3, "select <index>"))
        return code;
    HWND list = GetDlgItem(context.main, kPaneList);
    if (!WaitControlReady(list, "the pane list"))
        return kFailed;
    int index = atoi(context.argv[2]);
    // The main window takes every command as "show the selected pane".
    LRESULT result = 0;
    if (!Send(list, LB_SETCURSEL, index, 0, &result) || result == LB_ERR)
        return Fail(kFailed, "cannot select entry %d of the pane list", index);
    if (!Send(context.main, WM_COMMAND, MAKEWPARAM(kPaneList, LBN_SELCHANGE), (LPARAM)list))
        return Fail(kFailed, "the window does not answer the selection change");
    return kOk;
}

// A user cannot click a disabled button, so neither does the driver.
int CmdClick(Context& context) {
    if (int code = RequireArgs(context, 4, "click [--post] <pane> <id>"))
        return code;
    bool post = strcmp(context.argv[2], "--post") == 0;
    int code = post ? RequireArgs(context, 5, "click --post <pane> <id>") : kOk;
    if (code)
        return code;
    HWND control = FindControl(context, post ? 3 : 2, &code);
    if (!control)
        return code;
    if (!WaitControlReady(control, ControlName(context, post ? 3 : 2).c_str()))
        return kFailed;
    if (post)
        return PostMessageA(control, BM_CLICK, 0, 0) ? kOk : Fail(kFailed, "PostMessage failed");
    return Send(control, BM_CLICK, 0, 0) ? kOk : Fail(kFailed, "the button does not answer BM_CLICK");
}

int CmdText(Context& context) {
    if (int code = RequireArgs(context, 4, "text <pane> <id>"))
        return code;
    int code = kOk;
    HWND control = FindControl(context, 2, &code);
    if (!control)
        return code;
    char text[8192] = "";
    if (!Send(control, WM_GETTEXT, sizeof text, (LPARAM)text))
        return Fail(kFailed, "the control does not answer WM_GETTEXT");
    Print("%s\n", Escape(text).c_str());
    return kOk;
}

int CmdEnabled(Context& context) {
    if (int code = RequireArgs(context, 4, "enabled <pane> <id>"))
        return code;
    int code = kOk;
    HWND control = FindControl(context, 2, &code);
    if (!control)
        return code;
    Print("%d\n", IsWindowEnabled(control) ? 1 : 0);
    return kOk;
}

int CmdVisible(Context& context) {
    if (int code = RequireArgs(context, 4, "visible <pane> <id>"))
        return code;
    int code = kOk;
    HWND control = FindControl(context, 2, &code);
    if (!control)
        return code;
    Print("%d\n", IsWindowVisible(control) ? 1 : 0);
    return kOk;
}

int CmdChecked(Context& context) {
    if (int code = RequireArgs(context, 4, "checked <pane> <id>"))
        return code;
    int code = kOk;
    HWND control = FindControl(context, 2, &code);
    if (!control)
        return code;
    Print("%d\n", (int)SendOrZero(control, BM_GETCHECK));
    return kOk;
}

// A progress bar: "position<TAB>low<TAB>high".
int CmdProgress(Context& context) {
    if (int code = RequireArgs(context, 4, "progress <pane> <id>"))
        return code;
    int code = kOk;
    HWND bar = FindControl(context, 2, &code);
    if (!bar)
        return code;
    Print("%d\t%d\t%d\n", (int)SendOrZero(bar, PBM_GETPOS), (int)SendOrZero(bar, PBM_GETRANGE, TRUE),
          (int)SendOrZero(bar, PBM_GETRANGE, FALSE));
    return kOk;
}

// A list box of a pane: "count<TAB>selected index" (-1 when none).
int CmdList(Context& context) {
    if (int code = RequireArgs(context, 4, "list <pane> <id>"))
        return code;
    int code = kOk;
    HWND list = FindControl(context, 2, &code);
    if (!list)
        return code;
    Print("%d\t%d\n", (int)SendOrZero(list, LB_GETCOUNT), (int)SendOrZero(list, LB_GETCURSEL));
    return kOk;
}

// Selects an entry of a pane's list box and tells the pane, as a click does.
int CmdPick(Context& context) {
    if (int code = RequireArgs(context, 5, "pick <pane> <id> <index>"))
        return code;
    int code = kOk;
    HWND list = FindControl(context, 2, &code);
    if (!list)
        return code;
    if (!WaitControlReady(list, ControlName(context, 2).c_str()))
        return kFailed;
    int index = atoi(context.argv[4]);
    LRESULT result = 0;
    if (!Send(list, LB_SETCURSEL, index, 0, &result) || result == LB_ERR)
        return Fail(kFailed, "cannot select entry %d", index);
    int id = GetDlgCtrlID(list);
    if (!Send(GetParent(list), WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), (LPARAM)list))
        return Fail(kFailed, "the pane does not answer the selection change");
    return kOk;
}


// What a status line's icon shows on screen. The icons (scripts/draw-icons)
// are told apart by colours that only one of them holds: the green ball's
// shades, the red cross's reds, the warning triangle's yellows.
struct IconColours {
    uint8_t kind;
    COLORREF colours[6];
};
const IconColours kIconColours[] = {
    {0, {RGB(128, 0, 0), RGB(224, 16, 16), RGB(255, 80, 64)}},
    {1, {RGB(0, 100, 0), RGB(0, 120, 0), RGB(0, 140, 0), RGB(16, 160, 16), RGB(32, 180, 32), RGB(64, 200, 64)}},
    {2, {RGB(255, 216, 0), RGB(255, 240, 112)}},
};
const int kIconPixelsNeeded = 12;

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// Where the program draws a line's icon in its row, and how large: 16
// pixels 2 from the corner at 96 dpi, scaled, at the largest drawn size
// (16, 20, 24, 32) that the scaled size holds.
int IconSize() {
    int wanted = MulDiv(16, ScreenDpi(), 96), size = 16;
    for (int drawn : {20, 24, 32})
        if (drawn <= wanted)
            size = drawn;
    return size;
}
int IconMargin() {
    return MulDiv(2, ScreenDpi(), 96);
}

// The screen's pixels (0x00RRGGBB) in a width x height rectangle at `screen`.
bool ReadScreen(POINT screen, int width, int height, std::vector<uint32_t>* pixels) {
    bool read = false;
    HDC desktop = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(desktop);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, desktop, screen.x, screen.y, SRCCOPY)) {
            const uint32_t* first = (const uint32_t*)bits;
            pixels->assign(first, first + width * height);
            read = true;
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, desktop);
    return read;
}

// The kind whose icon colours `pixel` has, or kDrawnUnknown.
uint8_t IconKindOf(uint32_t pixel) {
    for (const IconColours& icon : kIconColours)
        for (COLORREF colour : icon.colours)
            if (colour && (pixel & 0xFFFFFF) == RGB(GetBValue(colour), GetGValue(colour), GetRValue(colour)))
                return icon.kind;
    return kDrawnUnknown;
}

// The kind whose colours cover at least kIconPixelsNeeded pixels of the
// icon-sized square at `screen`, read from the screen; kDrawnUnknown if none.
uint8_t KindOnScreen(POINT screen) {
    const int size = IconSize();
    std::vector<uint32_t> pixels;
    if (!ReadScreen(screen, size, size, &pixels))
        return kDrawnUnknown;
    int counts[3] = {};
    for (uint32_t pixel : pixels) {
        uint8_t kind = IconKindOf(pixel);
        if (kind < 3)
            ++counts[kind];
    }
    uint8_t found = kDrawnUnknown;
    for (uint8_t kind = 0; kind < 3; ++kind)
        if (counts[kind] >= kIconPixelsNeeded && (found == kDrawnUnknown || counts[kind] > counts[found]))
            found = kind;
    return found;
}

// The kind that line `index` shows; kScrolledAway when the line lies wholly
// outside the list's view (the list keeps its newest line in view, so older
// lines of a long list scroll away); kDrawnHidden when its icon is not wholly
// on screen otherwise (list hidden, line half in view, another window over it).
uint8_t DrawnKind(HWND list, LRESULT index) {
    // Wine carries LB_GETITEMRECT's rectangle across processes.
    RECT item, client;
    LRESULT ok = 0;
    if (!IsWindowVisible(list) || !Send(list, LB_GETITEMRECT, index, (LPARAM)&item, &ok) || ok == LB_ERR ||
        !GetClientRect(list, &client))
        return kDrawnHidden;
    if (item.bottom <= client.top || item.top >= client.bottom)
        return kScrolledAway;
    const int size = IconSize();
    POINT corner = {item.left + IconMargin(), item.top + IconMargin()};
    if (corner.y < client.top || corner.y + size > client.bottom || corner.x + size > client.right)
        return kDrawnHidden;
    ClientToScreen(list, &corner);
    POINT opposite = {corner.x + size - 1, corner.y + size - 1};
    if (WindowFromPoint(corner) != list || WindowFromPoint(opposite) != list)
        return kDrawnHidden;
    return KindOnScreen(corner);
}

const char* KindName(uint8_t kind) {
    return kind < 3 ? kKindNames[kind] : kind == kDrawnHidden ? "hidden" : "unknown";
}

// Whether what the screen shows of a line contradicts its kind.
bool Disagrees(uint8_t shown, uint8_t kind, bool drawn) {
    if (shown == kScrolledAway)
        return false;
    return shown == kDrawnHidden ? drawn : shown != kind;
}

// status [--drawn]: each line's kind and text (UTF-8). The kind is the one the
// program keeps; a line whose icon is on screen must show that kind's icon,
// else the kind reads "Ok(drawn Error)". With --drawn every line's icon
// in the list's view must be on screen and recognised ("Ok(drawn hidden)"
// otherwise); a line scrolled out of the view is not looked at. The
// screen may show a line a moment after it is added: a disagreement is
// looked at again for a while before it is reported.
int CmdStatus(Context& context) {
    bool drawn = context.argc > 2 && strcmp(context.argv[2], "--drawn") == 0;
    HWND pane = FindPane(context.main, "install");
    HWND list = pane ? GetDlgItem(pane, kStatusList) : nullptr;
    if (!list)
        return Fail(kNotFound, "no status list");
    Remote remote(list);
    LRESULT count = SendOrZero(list, LB_GETCOUNT);
    std::vector<std::string> texts;
    std::vector<uint8_t> kinds, shown;
    std::vector<LRESULT> items;  // each line's first item
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT data = SendOrZero(list, LB_GETITEMDATA, i);
        StatusEntry entry;
        std::string text;
        if (!ReadStatusEntry(remote, list, data, &entry))
            return Fail(kFailed, "cannot read status item %d", (int)i);
        if (entry.continued)
            continue;
        if (!remote.ReadText((const char*)(uintptr_t)entry.text, 4096, &text))
            return Fail(kFailed, "cannot read status line %d", (int)i);
        texts.push_back(text);
        kinds.push_back(entry.kind);
        items.push_back(i);
    }
    const DWORD kSettleMs = 1500;
    for (DWORD start = GetTickCount();; Sleep(kPollMs)) {
        bool agree = true;
        shown.assign(kinds.size(), kDrawnHidden);
        for (size_t i = 0; i < kinds.size(); ++i) {
            shown[i] = DrawnKind(list, items[i]);
            if (Disagrees(shown[i], kinds[i], drawn))
                agree = false;
        }
        if (agree || GetTickCount() - start > kSettleMs)
            break;
    }
    for (size_t i = 0; i < kinds.size(); ++i) {
        // An unknown kind is printed as its number: it points at a layout mismatch.
        std::string kind = kinds[i] < 3 ? kKindNames[kinds[i]] : "Kind" + std::to_string(kinds[i]);
        if (Disagrees(shown[i], kinds[i], drawn))
            kind += std::string("(drawn ") + KindName(shown[i]) + ")";
        Print("%s\t%s\n", kind.c_str(), Escape(texts[i]).c_str());
    }
    return kOk;
}

// The fill an item is drawn with, read at its left edge inside the focus
// rectangle, left of the icon and the text; false when that point is not on
// the screen.
bool ItemFill(HWND list, LRESULT index, uint32_t* fill) {
    RECT item, client;
    if (SendOrZero(list, LB_GETITEMRECT, index, (LPARAM)&item) == LB_ERR || !GetClientRect(list, &client))
        return false;
    POINT at = {item.left + 1, item.top + 2};
    std::vector<uint32_t> pixel;
    if (!PtInRect(&client, at) || !ClientToScreen(list, &at) || at.x >= GetSystemMetrics(SM_CXSCREEN) ||
        at.y >= GetSystemMetrics(SM_CYSCREEN) || !ReadScreen(at, 1, 1, &pixel))
        return false;
    *fill = pixel[0] & 0xFFFFFF;
    return true;
}

// status-items: per status line, how it is laid out in list items:
// "items<TAB>tallest item's height<TAB>whole|broken<TAB>string of the first
// item<TAB>one fill|fills differ|unseen". "whole" when the items' parts follow
// one another through the line, only spaces or a line break left out between
// them, and the continuations' strings are empty; "one fill" when every item
// of the line in sight is drawn in the first item's stripe or selection.
int CmdStatusItems(Context& context) {
    HWND pane = FindPane(context.main, "install");
    HWND list = pane ? GetDlgItem(pane, kStatusList) : nullptr;
    if (!list)
        return Fail(kNotFound, "no status list");
    Remote remote(list);
    const LRESULT count = SendOrZero(list, LB_GETCOUNT);
    for (LRESULT i = 0; i < count;) {
        std::string text, spoken;
        StatusEntry entry;
        LRESULT data = SendOrZero(list, LB_GETITEMDATA, i);
        if (!ReadStatusEntry(remote, list, data, &entry) || entry.continued ||
            !remote.ReadText((const char*)(uintptr_t)entry.text, 4096, &text) || !RowString(list, i, &spoken))
            return Fail(kFailed, "status item %d begins no line", (int)i);
        int items = 0, tallest = 0;
        size_t covered = 0;
        bool whole = true;
        uint32_t firstFill = 0, fill = 0;
        const bool seen = ItemFill(list, i, &firstFill);
        bool oneFill = true;
        do {
            oneFill = oneFill && (!seen || !ItemFill(list, i, &fill) || fill == firstFill);
            const LRESULT height = SendOrZero(list, LB_GETITEMHEIGHT, i);
            tallest = height > tallest ? (int)height : tallest;
            std::string string;
            if (items > 0 && (!RowString(list, i, &string) || !string.empty()))
                whole = false;
            if (entry.from < covered || entry.from + (size_t)entry.length > text.size() ||
                text.find_first_not_of(" \n", covered) < entry.from)
                whole = false;
            covered = entry.from + (size_t)entry.length;
            ++items;
            data = ++i < count ? SendOrZero(list, LB_GETITEMDATA, i) : 0;
        } while (data && ReadStatusEntry(remote, list, data, &entry) && entry.continued);
        if (text.find_first_not_of(" \n", covered) != std::string::npos)
            whole = false;
        Print("%d\t%d\t%s\t%s\t%s\n", items, tallest, whole ? "whole" : "broken", Escape(spoken).c_str(),
              !seen ? "unseen" : oneFill ? "one fill" : "fills differ");
    }
    return kOk;
}

// The drive list's rows: "E:\<TAB>icon" (or "noicon"), one a line, then
// "selected<TAB>index" (-1 when none).
int CmdRows(Context& context) {
    HWND pane = FindPane(context.main, "target");
    HWND list = pane ? GetDlgItem(pane, kDriveList) : nullptr;
    if (!list)
        return Fail(kNotFound, "no drive list");
    Remote remote(list);
    LRESULT count = SendOrZero(list, LB_GETCOUNT);
    if (count < 0 || count > 26)
        return Fail(kFailed, "the drive list holds %d rows", (int)count);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT data = SendOrZero(list, LB_GETITEMDATA, i);
        DriveEntry entry;
        if (!ReadDriveEntry(remote, list, data, &entry))
            return Fail(kFailed, "cannot read drive row %d", (int)i);
        std::string root(entry.rootPath, strnlen(entry.rootPath, sizeof entry.rootPath));
        bool icon = entry.imageList && entry.iconIndex >= 0;
        Print("%s\t%s\n", Escape(root).c_str(), icon ? "icon" : "noicon");
    }
    Print("selected\t%d\n", (int)SendOrZero(list, LB_GETCURSEL));
    return kOk;
}

int CmdPing(Context& context) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!Send(context.main, WM_NULL, 0, 0))
        return Fail(kFailed, "no answer within %u ms", kSendTimeoutMs);
    QueryPerformanceCounter(&end);
    Print("%.1f\n", (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart);
    return kOk;
}

int CmdWaitMain(Context& context) {
    DWORD limit = context.argc > 2 ? (DWORD)atol(context.argv[2]) : 30000;
    DWORD start = GetTickCount();
    for (;;) {
        HWND main = FindMain();
        if (main && IsWindowVisible(main))
            return kOk;
        if (GetTickCount() - start >= limit)
            return Fail(kNotFound, "no visible main window after %lu ms", limit);
        Sleep(kPollMs);
    }
}
