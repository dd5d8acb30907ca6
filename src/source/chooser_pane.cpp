#include "source/chooser_pane.h"

#include <commdlg.h>

#include <cstdlib>

#include "resource.h"
#include "shell/app_state.h"
#include "shell/display.h"
#include "shell/panes.h"

namespace {

char g_browsePath[MAX_PATH];  // UI thread only

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
    // A new choice of source begins; what that means to the write's log is
    // registered at start.
    AnnouncePaneShown(pane, true);
}

void OnHidden(HWND pane) {
    char* path = static_cast<char*>(calloc(kPathBufferSize, 1));
    if (path == nullptr)
        return;
    GetDlgItemTextA(pane, IDC_EXTERNAL_PATH, path, kPathBufferSize);
    SetExternalPath(path);
    free(path);
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

}  // namespace

void BrowseForImage(HWND edit) {
    g_browsePath[0] = '\0';
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = edit;
    dialog.lpstrFilter = "IMG\0*.IMG\0*.*\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = g_browsePath;
    dialog.nMaxFile = sizeof(g_browsePath);
    // The dialog must not leave the process's current directory on a stick
    // that may become the target.
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
    if (GetOpenFileNameA(&dialog))
        SetWindowTextA(edit, g_browsePath);
}

INT_PTR CALLBACK ChooserPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
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
