#include "source/chooser_pane.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstdlib>

#include "resource.h"
#include "shell/app_state.h"
#include "shell/display.h"
#include "shell/panes.h"
#include "shell/unicode_control.h"
#include "source/external_file.h"
#include "text/console.h"
#include "text/text.h"

namespace {

wchar_t g_browsePath[kPathBufferSize];  // UI thread only
HWND g_chooser;                         // UI thread only
bool g_commandLineTaken;                // UI thread only

// "Open with", or a file dragged onto the program's icon, starts the program
// with the file's path as its only argument.
void TakeCommandLinePath() {
    if (g_commandLineTaken)
        return;
    g_commandLineTaken = true;
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr)
        return;
    const DWORD attributes = count == 2 ? GetFileAttributesW(arguments[1]) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        ChooseExternalFile(arguments[1]);
    LocalFree(arguments);
}

void OnShown(HWND pane) {
    SetDlgItemTextA(pane, IDC_INTERNAL_NAME, GetImageName());
    if (!IsLoaderFinished())
        return;
    const char* imageName = GetImageName();
    if (imageName[0] == '\0') {
        EnableWindow(GetDlgItem(pane, IDC_USE_INTERNAL), FALSE);
        CheckDlgButton(pane, IDC_USE_INTERNAL, BST_UNCHECKED);
        CheckDlgButton(pane, IDC_USE_EXTERNAL, BST_CHECKED);
        SetSourceMode(SourceExternal);
    } else if (IsDlgButtonChecked(pane, IDC_USE_EXTERNAL) != BST_CHECKED) {
        EnableWindow(GetDlgItem(pane, IDC_USE_INTERNAL), TRUE);
        CheckDlgButton(pane, IDC_USE_INTERNAL, BST_CHECKED);
        SetSourceMode(SourceInternal);
    }
    TakeCommandLinePath();
    // A new choice of source begins; what that means to the write's log is
    // registered at start.
    AnnouncePaneShown(pane, true);
}

// The edit's text, kept as UTF-8.
void OnHidden(HWND pane) {
    wchar_t* text = static_cast<wchar_t*>(calloc(kPathBufferSize, sizeof(wchar_t)));
    char* path = static_cast<char*>(calloc(kPathBufferSize * 3, 1));
    if (text != nullptr && path != nullptr) {
        GetDlgItemTextW(pane, IDC_EXTERNAL_PATH, text, kPathBufferSize);
        WideToUtf8(text, path, kPathBufferSize * 3);
        SetExternalPath(path);
    }
    free(path);
    free(text);
}

void OnCommand(HWND pane, int id) {
    switch (id) {
        case IDC_USE_INTERNAL:
            SetSourceMode(SourceInternal);
            break;
        case IDC_USE_EXTERNAL:
            SetSourceMode(SourceExternal);
            break;
        case IDC_BROWSE:
            BrowseForImage(GetDlgItem(pane, IDC_EXTERNAL_PATH));
            CheckDlgButton(pane, IDC_USE_INTERNAL, BST_UNCHECKED);
            CheckDlgButton(pane, IDC_USE_EXTERNAL, BST_CHECKED);
            SetSourceMode(SourceExternal);
            break;
        default:
            break;
    }
}

// The filter list: "IMG", "*.*", then every kind the program takes, under a
// description in the current language. Each string ends in NUL, the list in
// one more.
void MakeFilter(wchar_t* filter, size_t capacity) {
    static const wchar_t kFirst[] = L"IMG\0*.IMG\0*.*\0*.*\0";
    static const wchar_t kAll[] = L"*.img;*.ima;*.vfd;*.flp;*.zip;*.gz";
    size_t used = sizeof(kFirst) / sizeof(wchar_t) - 1;
    memcpy(filter, kFirst, used * sizeof(wchar_t));
    const int described = MultiByteToWideChar(CP_ACP, 0, GetText(IDS_FILTER_ALL_IMAGES), -1, filter + used,
                                              static_cast<int>(capacity - used - sizeof(kAll) / sizeof(wchar_t) - 1));
    if (described <= 1) {
        filter[used] = L'\0';
        return;
    }
    used += described;
    memcpy(filter + used, kAll, sizeof(kAll));
    filter[used + sizeof(kAll) / sizeof(wchar_t)] = L'\0';
}

}  // namespace

void BrowseForImage(HWND edit) {
    g_browsePath[0] = L'\0';
    wchar_t filter[160];
    MakeFilter(filter, sizeof(filter) / sizeof(filter[0]));
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = edit;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = g_browsePath;
    dialog.nMaxFile = kPathBufferSize;
    // The dialog must not leave the process's current directory on a stick
    // that may become the target.
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
    if (GetOpenFileNameW(&dialog))
        SetWindowTextW(edit, g_browsePath);
}

void ChooseExternalFile(const wchar_t* path) {
    const HWND pane = g_chooser;
    if (pane == nullptr)
        return;
    SetDlgItemTextW(pane, IDC_EXTERNAL_PATH, path);
    CheckDlgButton(pane, IDC_USE_INTERNAL, BST_UNCHECKED);
    CheckDlgButton(pane, IDC_USE_EXTERNAL, BST_CHECKED);
    SetSourceMode(SourceExternal);
    // The checks read the path now, not when the Welcome pane is next left.
    OnHidden(pane);
    const char* chosen = g_appState.load()->externalPath;
    ConsolePrint("Image file chosen: %s\n", chosen != nullptr ? chosen : "");
}

INT_PTR CALLBACK ChooserPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            g_chooser = pane;
            MakeControlUnicode(pane, IDC_EXTERNAL_PATH, L"Edit");
            break;
        case WM_SHOWWINDOW:
            if (wParam)
                OnShown(pane);
            else
                OnHidden(pane);
            return 0;
        case WM_COMMAND:
            OnCommand(pane, LOWORD(wParam));
            break;
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(PrepareSurface(reinterpret_cast<HDC>(wParam), Surface::ChooserLabel));
        default:
            break;
    }
    return PaneProc(pane, message, wParam, lParam);
}
