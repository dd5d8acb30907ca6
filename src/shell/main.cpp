#include <cstdio>

#include "shell/main_window.h"

int main() {
    // The console trace must appear line by line also when it is redirected.
    setvbuf(stdout, nullptr, _IONBF, 0);
    return RunMainWindow();
}
