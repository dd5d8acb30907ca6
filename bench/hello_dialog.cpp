// The smallest dialog program with the wizard's imports and manifest: the
// yardstick for the wizard's start-up. It opens a dialog, prints "Ready..."
// once the dialog is up, and closes it; with --stay it stays until it is
// closed, for a probe that watches it appear.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <cfgmgr32.h>
#include <objbase.h>
#include <setupapi.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace {

// One function of every DLL the wizard imports, so that each is loaded at
// start as the wizard's are; never called. scripts/bench compares the two
// programs' import lists.
const void* const kImports[] = {
    reinterpret_cast<const void*>(&GetOpenFileNameA), reinterpret_cast<const void*>(&SHGetFileInfoA),
    reinterpret_cast<const void*>(&CoInitializeEx),   reinterpret_cast<const void*>(&SetupDiGetClassDevsA),
    reinterpret_cast<const void*>(&CM_Get_Parent),    reinterpret_cast<const void*>(&GetStockObject),
    reinterpret_cast<const void*>(&RegGetValueA),
};

bool g_stay;

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        PostMessageA(window, WM_APP, 0, 0);
        return TRUE;
    }
    if (message == WM_APP) {
        printf("Ready...\n");
        if (!g_stay)
            EndDialog(window, 0);
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(window, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    g_stay = argc > 1 && strcmp(argv[1], "--stay") == 0;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LINK_CLASS | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    // A use the compiler and linker cannot drop (a local one was dropped, and
    // with it the imports); never true when the bench runs it.
    if (argc > 99)
        for (const void* import : kImports)
            printf("%p\n", import);
    return static_cast<int>(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1), nullptr, DialogProc, 0));
}
