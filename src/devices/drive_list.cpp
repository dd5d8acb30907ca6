#include "devices/drive_list.h"

#include <objbase.h>
#include <process.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "devices/floppy_test.h"
#include "resource.h"
#include "shell/app_state.h"
#include "shell/display.h"
#include "shell/ui_thread.h"
#include "text/console.h"
#include "text/text.h"

// What a worker found, handed to the UI thread in one message.
struct DriveListUpdate {
    HWND list;
    unsigned count;
    DriveEntry entries[26];
    void* survey;  // owned until the UI thread takes it
};

namespace {

constexpr int kShellInfoTries = 5;
constexpr DWORD kShellInfoRetryMs = 20;
constexpr DWORD kTopmostMs = 3000;

std::atomic<HWND> g_driveListWindow{nullptr};
// 0 idle, 1 a rebuild runs, 2 a rebuild runs and another was asked for.
std::atomic<int> g_refreshState{0};
HFONT g_letterFont;  // UI thread only; made at the current DPI
DriveListHooks g_hooks;  // set before the window exists

// True when this thread should rebuild; otherwise the running rebuild has
// been told to go round once more.
bool ClaimRebuild() {
    for (;;) {
        int state = g_refreshState.load();
        if (state == 0) {
            if (g_refreshState.compare_exchange_weak(state, 1))
                return true;
        } else if (state == 2) {
            return false;
        } else if (g_refreshState.compare_exchange_weak(state, 2)) {
            return false;
        }
    }
}

// True when a request came in during the rebuild just finished.
bool MustRebuildAgain() {
    int state = 1;
    if (g_refreshState.compare_exchange_strong(state, 0))
        return false;
    g_refreshState = 1;
    return true;
}

bool IsPlainRoot(const char* root) {
    return strlen(root) == 3 && root[1] == ':' && root[2] == '\\';
}

// The drive's icon in the system image list. A drive that does not answer
// after a few tries gets no icon rather than holding the rebuild.
void FindDriveIcon(const char* root, DriveEntry* entry) {
    entry->iconIndex = -1;
    for (int attempt = 0; attempt < kShellInfoTries; ++attempt) {
        SHFILEINFOA info = {};
        const DWORD_PTR list =
            SHGetFileInfoA(root, 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_TYPENAME | SHGFI_DISPLAYNAME);
        if (list != 0) {
            entry->imageList = reinterpret_cast<HIMAGELIST>(list);
            entry->iconIndex = info.iIcon;
            return;
        }
        Sleep(kShellInfoRetryMs);
    }
}

// True when `root` is a fixed drive on a stick or card that calls itself fixed.
bool IsFixedStickRoot(const char* root) {
    return GetDriveTypeA(root) == DRIVE_FIXED && g_hooks.fixedStick != nullptr && g_hooks.fixedStick(root[0]);
}

// The removable drives in the order Windows gives them, then the sticks that
// call themselves fixed.
void FindRemovableDrives(DriveListUpdate* update) {
    // 26 roots of 4 bytes and the closing NUL fit; a longer answer is refused.
    char roots[256] = {};
    const DWORD length = GetLogicalDriveStringsA(sizeof(roots) - 1, roots);
    if (length == 0 || length >= sizeof(roots) - 1)
        return;
    for (int pass = 0; pass < 2; ++pass) {
        const bool fixed = pass == 1;
        for (const char* root = roots; *root != '\0' && update->count < 26; root += strlen(root) + 1) {
            if (!IsPlainRoot(root) || (fixed ? !IsFixedStickRoot(root) : GetDriveTypeA(root) != DRIVE_REMOVABLE))
                continue;
            DriveEntry* entry = &update->entries[update->count++];
            memcpy(entry->rootPath, root, sizeof(entry->rootPath));
            entry->fixedDisk = fixed;
            FindDriveIcon(root, entry);
        }
    }
}

unsigned KindText(DriveKind kind) {
    switch (kind) {
        case DriveKind::UsbStick: return IDS_DRIVE_KIND_USB_STICK;
        case DriveKind::Card: return IDS_DRIVE_KIND_CARD;
        case DriveKind::Diskette: return IDS_DRIVE_KIND_DISKETTE;
        case DriveKind::FixedDisk: return IDS_FIXED_DISK_ROW;
        case DriveKind::Removable: break;
    }
    return IDS_DRIVE_KIND_REMOVABLE;
}

// The row's string is what a screen reader reads: the drive letter and what
// its icon shows ("E:, USB stick"; for a fixed disk the words drawn beside it).
LRESULT AddDriveRow(HWND list, DriveEntry* entry) {
    char name[100];
    snprintf(name, sizeof(name), "%c:, %s", entry->rootPath[0], GetText(KindText(entry->kind)));
    const LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    if (index >= 0 && SendMessageA(list, LB_SETITEMDATA, index, reinterpret_cast<LPARAM>(entry)) == LB_ERR) {
        SendMessageA(list, LB_DELETESTRING, index, 0);
        return LB_ERR;
    }
    return index;
}

LRESULT SetTopmostOnUiThread(void* topmost) {
    // Without SWP_NOACTIVATE: the wizard also comes to the front.
    SetWindowPos(GetMainWindow(), topmost != nullptr ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);
    return 1;
}

LRESULT ApplyDriveListUpdateOnUiThread(void* update) {
    return ApplyDriveListUpdate(static_cast<DriveListUpdate*>(update));
}

// Asks for the device behind each drive found, in row order.
void IdentifyRemovableDrives(DriveListUpdate* update) {
    if (g_hooks.identify == nullptr)
        return;
    char letters[27] = {};
    for (unsigned i = 0; i < update->count; ++i)
        letters[i] = update->entries[i].rootPath[0];
    update->survey = g_hooks.identify(letters);
}

// What each drive's icon shows, from its bus (the survey's) and a diskette
// drive's own answer.
void FindDriveKinds(DriveListUpdate* update) {
    for (unsigned i = 0; i < update->count; ++i) {
        DriveEntry* entry = &update->entries[i];
        const uint32_t bus =
            g_hooks.busType != nullptr && update->survey != nullptr ? g_hooks.busType(update->survey, entry->rootPath[0]) : 0;
        entry->kind = DriveKindOf(AsksAsThreeAndHalfInchDrive(entry->rootPath[0]), entry->fixedDisk, bus);
    }
}

// Hands one rebuild to the UI thread; true when the list grew.
bool ShowRebuild(DriveListUpdate* update) {
    const bool grew = RunOnUiThread(ApplyDriveListUpdateOnUiThread, update) != 0;
    // Still here when the window went before the rows could be shown.
    if (update->survey != nullptr && g_hooks.release != nullptr)
        g_hooks.release(update->survey);
    update->survey = nullptr;
    return grew;
}

// Keeps the wizard in front for a moment after a new drive showed up.
void RaiseWindowBriefly() {
    RunOnUiThread(SetTopmostOnUiThread, reinterpret_cast<void*>(1));
    Sleep(kTopmostMs);
    RunOnUiThread(SetTopmostOnUiThread, nullptr);
}

}  // namespace

void SetDriveListHooks(const DriveListHooks& hooks) {
    g_hooks = hooks;
}

bool StartDriveListRefresh(HWND pane) {
    if (pane == nullptr && g_driveListWindow.load() == nullptr)
        return false;
    if (_beginthread(DriveListRefresh, 0, pane) != static_cast<uintptr_t>(-1))
        return true;
    ConsolePrint("Could not start refreshing the drive list.\n");
    return false;
}

void __cdecl DriveListRefresh(void* pane) {
    const HWND window = static_cast<HWND>(pane);
    RebuildDriveList(window != nullptr ? GetDlgItem(window, IDC_TARGET_LIST) : nullptr);
}

void RebuildDriveList(HWND list) {
    if (list != nullptr)
        g_driveListWindow = list;
    if (g_driveListWindow.load() == nullptr || !ClaimRebuild())
        return;

    // The shell wants COM on a thread that asks it for icons.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool grew = false;
    do {
        DriveListUpdate* update = new (std::nothrow) DriveListUpdate{};
        if (update == nullptr)
            break;
        update->list = g_driveListWindow;
        FindRemovableDrives(update);
        IdentifyRemovableDrives(update);
        FindDriveKinds(update);
        grew = ShowRebuild(update) || grew;
        delete update;
    } while (MustRebuildAgain());
    if (g_refreshState != 0)
        g_refreshState = 0;  // only after an out-of-memory break
    if (SUCCEEDED(com))
        CoUninitialize();

    if (grew)
        RaiseWindowBriefly();
}

LRESULT ApplyDriveListUpdate(DriveListUpdate* update) {
    const HWND list = update->list;
    const LRESULT oldCount = SendMessageA(list, LB_GETCOUNT, 0, 0);

    DriveRoot selected = {};
    const LRESULT selection = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (oldCount > 0 && selection != LB_ERR) {
        const auto* entry = reinterpret_cast<const DriveEntry*>(SendMessageA(list, LB_GETITEMDATA, selection, 0));
        if (entry != nullptr && reinterpret_cast<LRESULT>(entry) != LB_ERR)
            memcpy(selected.text, entry->rootPath, sizeof(selected.text));
    }

    // The survey goes in with the rows: the checks that follow, and a pick of
    // any row shown, read the drives of these rows.
    if (g_hooks.take != nullptr)
        g_hooks.take(update->survey);
    update->survey = nullptr;

    for (LRESULT i = oldCount - 1; i >= 0; --i) {
        auto* entry = reinterpret_cast<DriveEntry*>(SendMessageA(list, LB_GETITEMDATA, i, 0));
        SendMessageA(list, LB_DELETESTRING, i, 0);
        if (entry != nullptr && reinterpret_cast<LRESULT>(entry) != LB_ERR)
            delete entry;
    }
    SetDestination(nullptr);

    for (unsigned i = 0; i < update->count; ++i) {
        DriveEntry* entry = new (std::nothrow) DriveEntry(update->entries[i]);
        if (entry == nullptr)
            break;
        const LRESULT index = AddDriveRow(list, entry);
        if (index < 0) {
            delete entry;
            continue;
        }
        if (selected.IsSet() && strcmp(selected.text, entry->rootPath) == 0) {
            SetDestination(entry->rootPath);
            SendMessageA(list, LB_SETCURSEL, index, 0);
        }
    }
    // A device change that led here came before this rebuild: only now do the
    // checks see a target that has gone (no row) or leads elsewhere.
    if (g_hooks.applied != nullptr)
        g_hooks.applied();
    return SendMessageA(list, LB_GETCOUNT, 0, 0) > oldCount ? 1 : 0;
}

void RescaleDriveList() {
    if (g_letterFont != nullptr)
        DeleteObject(g_letterFont);
    g_letterFont = nullptr;
    const HWND list = g_driveListWindow;
    const LRESULT count = list != nullptr ? SendMessageA(list, LB_GETCOUNT, 0, 0) : 0;
    for (LRESULT i = 0; i < count; ++i)
        SendMessageA(list, LB_SETITEMHEIGHT, static_cast<WPARAM>(i), DriveRowHeight());
}

int DriveRowHeight() {
    // The system image list's icons are SM_CXICON by SM_CYICON.
    return IconRowHeight(kDriveRowHeight, GetSystemMetrics(SM_CYICON), DisplayDpi());
}

namespace {

// A stick that calls itself fixed says so beside its letter, in the list's font.
void DrawFixedDiskNote(const DRAWITEMSTRUCT* item, int left) {
    RECT text = item->rcItem;
    text.left = left;
    const HGDIOBJ oldFont =
        SelectObject(item->hDC, reinterpret_cast<HFONT>(SendMessageA(item->hwndItem, WM_GETFONT, 0, 0)));
    DrawTextA(item->hDC, GetText(IDS_FIXED_DISK_ROW), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(item->hDC, oldFont);
}

}  // namespace

void DrawDriveItem(const DRAWITEMSTRUCT* item) {
    const DriveEntry* entry = reinterpret_cast<const DriveEntry*>(item->itemData);
    if (entry == nullptr || item->itemID == static_cast<UINT>(-1))
        return;
    if (g_letterFont == nullptr)
        g_letterFont = CreateFontA(Scaled(32), Scaled(14), 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0, nullptr);

    // A change of focus alone draws the row whole too, then its focus rectangle.
    const bool selected = (item->itemState & ODS_SELECTED) != 0;
    if (selected)
        SetDestination(entry->rootPath);
    const HDC dc = item->hDC;
    const SurfaceColours colours = ColoursOf(selected ? Surface::DriveRowSelected : Surface::DriveRow);
    SetTextColor(dc, colours.text);
    SetBkMode(dc, TRANSPARENT);
    SetDCBrushColor(dc, colours.fill);
    FillRect(dc, &item->rcItem, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));

    // The system image list's icons come at the size Windows chose for them.
    int iconWidth = 32, iconHeight = 32;
    const bool hasIcon = entry->imageList != nullptr && entry->iconIndex >= 0;
    if (hasIcon && !ImageList_GetIconSize(entry->imageList, &iconWidth, &iconHeight))
        iconWidth = iconHeight = 32;
    const int left = item->rcItem.left + Scaled(8);
    const int top = item->rcItem.top + (item->rcItem.bottom - item->rcItem.top - iconHeight) / 2;

    const HGDIOBJ oldFont = SelectObject(dc, g_letterFont);
    const int letterLeft = left + iconWidth + Scaled(8);
    TextOutA(dc, letterLeft, item->rcItem.top + Scaled(4), entry->rootPath, 2);
    SIZE letterSize = {};
    GetTextExtentPoint32A(dc, entry->rootPath, 2, &letterSize);
    SelectObject(dc, oldFont);
    if (entry->fixedDisk)
        DrawFixedDiskNote(item, letterLeft + letterSize.cx + Scaled(12));

    if (hasIcon)
        ImageList_DrawEx(entry->imageList, entry->iconIndex, dc, left, top, iconWidth, iconHeight, 0, 0,
                         selected ? ILD_TRANSPARENT : ILD_TRANSPARENT | ILD_BLEND50);
    DrawRowFocus(item, item->rcItem);
}

void OnDriveRowPicked(HWND list) {
    const LRESULT selection = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (selection == LB_ERR)
        return;
    const auto* entry = reinterpret_cast<const DriveEntry*>(SendMessageA(list, LB_GETITEMDATA, selection, 0));
    if (entry == nullptr || reinterpret_cast<LRESULT>(entry) == LB_ERR)
        return;
    SetDestination(entry->rootPath);
    if (g_hooks.chosen != nullptr)
        g_hooks.chosen(entry->rootPath[0]);
}
