#include <windows.h>

#include <cstdio>

#include "app/compose.h"
#include "shell/main_window.h"

int main() {
    // The console trace must appear line by line also when it is redirected.
    setvbuf(stdout, nullptr, _IONBF, 0);
    // An empty diskette drive or card slot answers with an error, not with
    // Windows' "There is no disk in the drive" box.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    ComposeApplication();
    return RunMainWindow();
}
